// The data rows of a flight's CSV file. The columns a row prints depend only on the model
// and the feature flags, so they are worked out once per flight into a RowPlan; each row
// then walks the plan and writes its digits straight into the output.
//
// A row is "\"h:m:s\"" (the local time of day, no leading zeros), one field per planned
// column, the mark field and CR LF:
//   DIF column            ",%d" with the engine's dif value, NA bits ignored
//   slot marked NA        ",\"NA\"" (also a column whose slot the instrument lacks)
//   divisor 1             ",%d"
//   divisor 10            ",%d" whole units, then ".%d" tenths when not zero; a negative
//                         value is a minus sign and the magnitude in that form (-15 -1.5)
//   mark field            ",\"S\"" when slot MARK_SLOT is not zero, else ","
#ifndef DATMEND_CSV_ROW_FORMAT_H_
#define DATMEND_CSV_ROW_FORMAT_H_

#include <array>
#include <cstddef>
#include <cstdint>

#include "csv/local_clock.h"
#include "flight/flight_format.h"
#include "flight/sample_record.h"

namespace datmend {

// Where a field's value comes from: a slot of `values` (0 to 47), an engine's dif, or
// nowhere (a column whose slot the instrument lacks, always "NA").
inline constexpr uint8_t DIF_SOURCE = VALUE_SLOTS;  // + the engine
inline constexpr uint8_t ABSENT_SOURCE = VALUE_SLOTS + 2;

struct RowField {
  uint8_t source = ABSENT_SOURCE;
  bool tenths = false;  // divisor 10
};

// Two engine passes over the data columns at most.
inline constexpr size_t MAX_ROW_FIELDS = 66;
// No data row is longer: the time, 59 fields of at most 8 bytes and the mark field.
inline constexpr size_t MAX_ROW_BYTES = 512;

struct RowPlan {
  std::array<RowField, MAX_ROW_FIELDS> fields{};
  size_t count = 0;
};

// The fields of every data row for `model` and the feature flags of the file's "$C" record.
void plan_data_row(RowPlan& plan, uint16_t model, uint32_t feature_flags);

// Writes one data row, CR LF included, to `out`, which must have MAX_ROW_BYTES of room.
// Returns the end of the row.
char* format_data_row(const RowPlan& plan, const TimeOfDay& time_of_day, const SampleRecord& sample,
                      char* out);

}  // namespace datmend

#endif  // DATMEND_CSV_ROW_FORMAT_H_
