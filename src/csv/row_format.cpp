#include "csv/row_format.h"

#include <cstring>

#include "csv/column_table.h"
#include "flight/flight_format.h"

namespace datmend {
namespace {

// The decimal digits of 0 to 9999 without leading zeros, left-aligned, and their count. A
// number is written by copying the four text bytes of its entry and advancing by the count;
// the bytes past the count are overwritten by what follows, and each row has room for them.
// Engine values fall in a few narrow ranges, so only a few lines of the table stay in use.
struct alignas(8) Digits {
  char text[4];
  uint8_t length;
};

struct DigitTable {
  Digits entries[10000];
};

constexpr DigitTable make_digit_table() {
  DigitTable table{};
  for (int n = 0; n < 10000; ++n) {
    Digits& entry = table.entries[n];
    entry.length = static_cast<uint8_t>(n >= 1000 ? 4 : n >= 100 ? 3 : n >= 10 ? 2 : 1);
    int rest = n;
    for (int i = entry.length - 1; i >= 0; --i, rest /= 10) {
      entry.text[i] = static_cast<char>('0' + rest % 10);
    }
    for (int i = entry.length; i < 4; ++i) entry.text[i] = '0';
  }
  return table;
}

constexpr DigitTable DIGITS = make_digit_table();

// Writes `n` (below 100000) without leading zeros.
inline char* put_unsigned(char* out, uint32_t n) {
  if (n < 10000) {
    const Digits& entry = DIGITS.entries[n];
    std::memcpy(out, entry.text, 4);
    return out + entry.length;
  }
  // 10000 and more: the first digit, then the four others with their zeros.
  const uint32_t low = n % 10000;
  *out++ = static_cast<char>('0' + n / 10000);
  std::memcpy(out, DIGITS.entries[low].text, 4);
  const int length = DIGITS.entries[low].length;
  if (length < 4) {
    // Shift the digits right and fill the leading zeros.
    char digits[4] = {'0', '0', '0', '0'};
    std::memcpy(digits + (4 - length), DIGITS.entries[low].text, static_cast<size_t>(length));
    std::memcpy(out, digits, 4);
  }
  return out + 4;
}

// int16 values and dif values: the magnitude is at most 32768.
inline char* put_signed(char* out, int32_t value) {
  if (value < 0) {
    *out++ = '-';
    return put_unsigned(out, static_cast<uint32_t>(-value));
  }
  return put_unsigned(out, static_cast<uint32_t>(value));
}

// Tenths: whole units, then the tenths digit unless it is 0; the sign stands before the
// magnitude, so -15 is -1.5 and -5 is -0.5.
inline char* put_tenths(char* out, int32_t value) {
  uint32_t magnitude = static_cast<uint32_t>(value);
  if (value < 0) {
    *out++ = '-';
    magnitude = static_cast<uint32_t>(-value);
  }
  out = put_unsigned(out, magnitude / 10);
  const uint32_t tenths = magnitude % 10;
  if (tenths != 0) {
    out[0] = '.';
    out[1] = static_cast<char>('0' + tenths);
    out += 2;
  }
  return out;
}

inline char* put_not_available(char* out) {
  std::memcpy(out, "\"NA\"", 4);
  return out + 4;
}

// Hours, minutes and seconds are below 100.
inline char* put_time_part(char* out, int part) {
  return put_unsigned(out, static_cast<uint32_t>(part));
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

  *out++ = '"';
  out = put_time_part(out, time_of_day.hour);
  *out++ = ':';
  out = put_time_part(out, time_of_day.minute);
  *out++ = ':';
  out = put_time_part(out, time_of_day.second);
  *out++ = '"';

  const RowField* field = plan.fields.data();
  const RowField* const end = field + plan.count;
  for (; field != end; ++field) {
    *out++ = ',';
    if ((not_available >> field->source) & 1) {
      out = put_not_available(out);
    } else if (field->tenths) {
      out = put_tenths(out, sources[field->source]);
    } else {
      out = put_signed(out, sources[field->source]);
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
