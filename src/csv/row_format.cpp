#include "csv/row_format.h"

#include <cstring>

#include "csv/column_table.h"
#include "flight/flight_format.h"

namespace datmend {
namespace {

// The decimal digits of 0 to 999, as three characters and their count. Numbers are written
// by copying a whole four-byte entry and advancing by the count; the bytes past the count
// are overwritten by what follows, and each row has room for them.
struct Digits {
  char text[3];
  uint8_t length;
};

struct DigitTables {
  Digits plain[1000];   // without leading zeros: "7", "42", "999"
  Digits padded[1000];  // three digits: "007", "042", "999"
};

constexpr DigitTables make_digit_tables() {
  DigitTables tables{};
  for (int n = 0; n < 1000; ++n) {
    const char hundreds = static_cast<char>('0' + n / 100);
    const char tens = static_cast<char>('0' + n / 10 % 10);
    const char ones = static_cast<char>('0' + n % 10);
    tables.padded[n] = {{hundreds, tens, ones}, 3};
    if (n >= 100) {
      tables.plain[n] = {{hundreds, tens, ones}, 3};
    } else if (n >= 10) {
      tables.plain[n] = {{tens, ones, '0'}, 2};
    } else {
      tables.plain[n] = {{ones, '0', '0'}, 1};
    }
  }
  return tables;
}

constexpr DigitTables DIGITS = make_digit_tables();

// Writes `n` (below 1000000) without leading zeros.
inline char* put_unsigned(char* out, uint32_t n) {
  if (n < 1000) {
    std::memcpy(out, &DIGITS.plain[n], 4);
    return out + DIGITS.plain[n].length;
  }
  const uint32_t high = n / 1000;
  const uint32_t low = n % 1000;
  std::memcpy(out, &DIGITS.plain[high], 4);
  out += DIGITS.plain[high].length;
  std::memcpy(out, &DIGITS.padded[low], 4);
  return out + 3;
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
        field = {FieldKind::kDif, static_cast<uint8_t>(pass)};
      } else if (slot < 0 || slot >= VALUE_SLOTS) {
        field = {FieldKind::kAbsent, 0};
      } else {
        field = {column.divisor == 10 ? FieldKind::kTenths : FieldKind::kValue,
                 static_cast<uint8_t>(slot)};
      }
      plan.fields[plan.count++] = field;
    }
  }
}

char* format_data_row(const RowPlan& plan, const TimeOfDay& time_of_day, const SampleRecord& sample,
                      char* out) {
  uint64_t not_available = 0;
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

  for (size_t i = 0; i < plan.count; ++i) {
    const RowField field = plan.fields[i];
    *out++ = ',';
    switch (field.kind) {
      case FieldKind::kDif:
        out = put_signed(out, sample.dif[field.index]);
        break;
      case FieldKind::kValue:
        if ((not_available >> field.index) & 1) {
          out = put_not_available(out);
        } else {
          out = put_signed(out, sample.values[field.index]);
        }
        break;
      case FieldKind::kTenths:
        if ((not_available >> field.index) & 1) {
          out = put_not_available(out);
        } else {
          out = put_tenths(out, sample.values[field.index]);
        }
        break;
      case FieldKind::kAbsent:
        out = put_not_available(out);
        break;
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
