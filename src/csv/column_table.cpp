#include "csv/column_table.h"

#include "flight/flight_format.h"

namespace datmend {
namespace {

constexpr uint32_t bit(int n) { return uint32_t{1} << n; }

}  // namespace

// Rows 27 and 30 are one "BAT" column: the engine masks let exactly one of them through,
// after "IAT" on a single engine and after the second engine's "USD" on the twin.
const std::array<ColumnDef, COLUMN_COUNT> column_table = {{
    {1, 0, 1, "E1", bit(11), 0},
    {1, 1, 1, "E2", bit(12), 0},
    {1, 2, 1, "E3", bit(13), 0},
    {1, 3, 1, "E4", bit(14), 0},
    {1, 4, 1, "E5", bit(15), 0},
    {1, 5, 1, "E6", bit(16), 0},
    {1, 24, 1, "E7", bit(17), 0},
    {1, 25, 1, "E8", bit(18), 0},
    {1, 26, 1, "E9", bit(19), 0},
    {1, 8, 1, "C1", bit(2), 0},
    {1, 9, 1, "C2", bit(3), 0},
    {1, 10, 1, "C3", bit(4), 0},
    {1, 11, 1, "C4", bit(5), 0},
    {1, 12, 1, "C5", bit(6), 0},
    {1, 13, 1, "C6", bit(7), 0},
    {1, 27, 1, "C7", bit(8), 0},
    {1, 28, 1, "C8", bit(9), 0},
    {1, 29, 1, "C9", bit(10), 0},
    {1, 6, 1, "T1", bit(21), 0},
    {1, 7, 1, "T2", bit(22), 0},
    {1, 15, 1, "OIL", bit(20), 0},
    {1, DIF_COLUMN, 1, "DIF", bit(11) | bit(12), 0},
    {1, 14, 1, "CLD", bit(28), 0},
    {0, 21, 1, "OAT", bit(25), 0},
    {1, 18, 1, "CDT", bit(23), 0},
    {1, 19, 1, "IAT", bit(24), 0},
    {0, 20, 10, "BAT", bit(0), 1},
    {1, 23, 10, "FF", bit(27), 0},
    {1, 22, 10, "USD", bit(27), 0},
    {0, 20, 10, "BAT", bit(0), 2},
    {0, 41, 1, "RPM", bit(26), 0},
    {0, 40, 10, "MAP", bit(30), 0},
    {0, 30, 1, "HP", bit(26) | bit(27) | bit(30), 0},
    {0, MARK_SLOT, 1, "MARK", bit(0), 0},
}};

int engine_pass_count(uint16_t model) { return model == TWIN_MODEL ? 2 : 1; }

bool column_selected(const ColumnDef& column, int pass, uint32_t flags, uint16_t model) {
  const int passes = engine_pass_count(model);
  if (pass < 0 || pass >= passes) return false;
  if ((column.feature_mask & flags) != column.feature_mask) return false;
  // Whole-instrument columns come once, in the last pass.
  if (column.per_engine == 0 && pass != passes - 1) return false;
  return column.engine_mask == 0 || (column.engine_mask & bit(pass)) != 0;
}

const char* column_prefix(const ColumnDef& column, int pass, uint16_t model) {
  if (column.per_engine == 0 || model != TWIN_MODEL) return "";
  if (pass == 0) return "L";
  if (pass == 1) return "R";
  return "";
}

int32_t column_slot(const ColumnDef& column, int pass) {
  // There are two engines at most, and two dif values.
  if (pass < 0 || pass > 1) return ABSENT_SLOT;
  if (column.value_index == DIF_COLUMN) return DIF_COLUMN;
  const int32_t slot =
      column.per_engine != 0 ? column.value_index + ENGINE_STRIDE * pass : column.value_index;
  // The twin's E7-E9 and C7-C9 already lie in the second engine's range; their second
  // pass would name slots 48 to 53, which do not exist.
  if (slot < 0 || slot >= VALUE_SLOTS) return ABSENT_SLOT;
  return slot;
}

}  // namespace datmend
