// The columns of a flight's CSV file: which SampleRecord value each prints, whether it
// counts in tenths, which feature flags bring it and in which engine passes it appears.
// Both the column-name row and every data row walk the table in the same order: for pass
// 0, then (twin only) pass 1, every row in table order.
#ifndef DATMEND_CSV_COLUMN_TABLE_H_
#define DATMEND_CSV_COLUMN_TABLE_H_

#include <array>
#include <cstdint>

namespace datmend {

struct ColumnDef {
  uint8_t per_engine;   // 1: repeats in each engine pass; 0: once for the instrument
  int32_t value_index;  // slot of SampleRecord values; DIF_COLUMN for the engine's dif
  uint32_t divisor;     // 1, or 10 for tenths
  const char* name;
  uint32_t feature_mask;  // every bit must be set in the flags
  uint32_t engine_mask;   // 0: any pass; else bit p allows pass p
};

inline constexpr int32_t DIF_COLUMN = -1;
// column_slot's answer for a column whose slot lies beyond the value slots (the twin's E7
// to E9 and C7 to C9 in the second pass): the instrument holds no such value, and the data
// row prints it as not available.
inline constexpr int32_t ABSENT_SLOT = -2;
inline constexpr int MARK_SLOT = 16;  // read by every data row's mark field
inline constexpr int COLUMN_COUNT = 34;
// Data rows walk every row but the last ("MARK" is a name only; rows end with a mark field).
inline constexpr int DATA_COLUMN_COUNT = 33;

extern const std::array<ColumnDef, COLUMN_COUNT> column_table;

// 2 for the twin model, 1 for every other.
int engine_pass_count(uint16_t model);

// True when `column` gives a column in `pass` for the feature flags `flags`.
bool column_selected(const ColumnDef& column, int pass, uint32_t flags, uint16_t model);

// "L" or "R" for a per-engine column of the twin model in pass 0 or 1; "" otherwise.
const char* column_prefix(const ColumnDef& column, int pass, uint16_t model);

// The slot that `column` prints in `pass`: value_index, plus ENGINE_STRIDE x pass for a
// per-engine column. DIF_COLUMN for the DIF row (which prints dif[pass]); ABSENT_SLOT when
// the slot would lie at or beyond VALUE_SLOTS, or when `pass` is neither 0 nor 1.
int32_t column_slot(const ColumnDef& column, int pass);

}  // namespace datmend

#endif  // DATMEND_CSV_COLUMN_TABLE_H_
