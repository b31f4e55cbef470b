#include "csv/row_format.h"

#include <cstring>

#include "csv/column_table.h"
#include "flight/flight_format.h"

namespace datmend {
namespace {

// The fields ",0" to ",9999": a comma and the digits without leading zeros, left-aligned,
// and the count of both. A field is written by copying the whole eight-byte entry and
// advancing by the count; the bytes past the count are overwritten by what follows, and
// each row has room for them. Engine values fall in a few narrow ranges, so only a few
// lines of the table stay in use.
struct alignas(8) Field {
  char text[7];
  uint8_t length;
};

constexpr uint32_t TABLE_SIZE = 10000;

struct FieldTable {
  Field entries[TABLE_SIZE];
};

constexpr FieldTable make_field_table() {
  FieldTable table{};
  for (uint32_t n = 0; n < TABLE_SIZE; ++n) {
    Field& entry = table.entries[n];
    const int digits = n >= 1000 ? 4 : n >= 100 ? 3 : n >= 10 ? 2 : 1;
    entry.length = static_cast<uint8_t>(1 + digits);
    entry.text[0] = ',';
    uint32_t rest = n;
    for (int i = digits; i >= 1; --i, rest /= 10) {
      entry.text[i] = static_cast<char>('0' + rest % 10);
    }
  }
  return table;
}

constexpr FieldTable FIELDS = make_field_table();

// ",%u" for a magnitude of at most 32768.
inline char* put_unsigned_field(char* out, uint32_t n) {
  if (n < TABLE_SIZE) {
    std::memcpy(out, &FIELDS.entries[n], sizeof(Field));
    return out + FIELDS.entries[n].length;
  }
  out[0] = ',';
  out[1] = static_cast<char>('0' + n / 10000);
  out[2] = static_cast<char>('0' + n / 1000 % 10);
  out[3] = static_cast<char>('0' + n / 100 % 10);
  out[4] = static_cast<char>('0' + n / 10 % 10);
  out[5] = static_cast<char>('0' + n % 10);
  return out + 6;
}

// ",-%u": the entry goes one byte further, and its comma becomes the minus sign.
inline char* put_negative_field(char* out, uint32_t magnitude) {
  char* end = put_unsigned_field(out + 1, magnitude);
  out[0] = ',';
  out[1] = '-';
  return end;
}

inline char* put_value(char* out, int32_t value) {
  if (value < 0) return put_negative_field(out, static_cast<uint32_t>(-value));
  return put_unsigned_field(out, static_cast<uint32_t>(value));
}

// Tenths: whole units, then the tenths digit unless it is 0; the sign stands before the
// magnitude, so -15 is -1.5 and -5 is -0.5.
inline char* put_tenths(char* out, int32_t value) {
  const uint32_t magnitude = static_cast<uint32_t>(value < 0 ? -value : value);
  out =
      value < 0 ? put_negative_field(out, magnitude / 10) : put_unsigned_field(out, magnitude / 10);
  const uint32_t tenths = magnitude % 10;
  if (tenths != 0) {
    out[0] = '.';
    out[1] = static_cast<char>('0' + tenths);
    out += 2;
  }
  return out;
}

inline char* put_not_available(char* out) {
  std::memcpy(out, ",\"NA\"", 5);
  return out + 5;
}

}  // namespace

void plan_data_row(RowPlan& plan, uint16_t model, uint32_t feature_flags) {
  plan.count = 0;
  const int passes = engine_pass_count(model);
  for (int pass = 0; pass < passes; ++pass) {
    for (int row = 0; row < DATA_COLUMN_COUNT; ++row) {
      const ColumnDef& column = column_table[row];
      if (!column_selected(column, pass, feature_flags, model)) continue;
      RowField field;
      const int32_t slot = column_slot(column, pass);
      if (slot == DIF_COLUMN) {
        field.source = static_cast<uint8_t>(DIF_SOURCE + pass);
      } else if (slot >= 0 && slot < VALUE_SLOTS) {
        field.source = static_cast<uint8_t>(slot);
        field.tenths = column.divisor == 10;
      }
      plan.fields[plan.count++] = field;
    }
  }
}

char* format_data_row(const RowPlan& plan, const TimeOfDay& time_of_day, const SampleRecord& sample,
                      char* out) {
  // Every field reads one entry of `sources` and one bit of `not_available`: the slots,
  // then the dif values (never NA), then the absent source (always NA).
  int16_t sources[ABSENT_SOURCE + 1];
  std::memcpy(sources, sample.values.data(), sizeof sample.values);
  sources[DIF_SOURCE] = sample.dif[0];
  sources[DIF_SOURCE + 1] = sample.dif[1];
  sources[ABSENT_SOURCE] = 0;
  uint64_t not_available = uint64_t{1} << ABSENT_SOURCE;
  for (size_t i = 0; i < sample.na_bits.size(); ++i) {
    not_available |= uint64_t{sample.na_bits[i]} << (8 * i);
  }

  // "h:m:s" in quotes: each part is written as a field, and its comma then replaced.
  char* minute = put_unsigned_field(out, static_cast<uint32_t>(time_of_day.hour));
  out[0] = '"';
  char* second = put_unsigned_field(minute, static_cast<uint32_t>(time_of_day.minute));
  minute[0] = ':';
  out = put_unsigned_field(second, static_cast<uint32_t>(time_of_day.second));
  second[0] = ':';
  *out++ = '"';

  const RowField* field = plan.fields.data();
  const RowField* const end = field + plan.count;
  for (; field != end; ++field) {
    if ((not_available >> field->source) & 1) {
      out = put_not_available(out);
    } else if (field->tenths) {
      out = put_tenths(out, sources[field->source]);
    } else {
      out = put_value(out, sources[field->source]);
    }
  }

  if (sample.values[MARK_SLOT] != 0) {
    std::memcpy(out, ",\"S\"\r\n", 6);
    return out + 6;
  }
  std::memcpy(out, ",\r\n", 3);
  return out + 3;
}

}  // namespace datmend
