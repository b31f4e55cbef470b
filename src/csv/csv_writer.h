// Writes one CSV file per converted flight, beside the input: six quoted header lines, the
// column-name row and one row per sample. Every line ends with CR LF on every system, and
// byte positions count the CR bytes. At most one CSV file is open at a time.
#ifndef DATMEND_CSV_CSV_WRITER_H_
#define DATMEND_CSV_CSV_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "driver/options.h"
#include "flight/flight_header.h"
#include "flight/sample_record.h"
#include "header/file_state.h"
#include "platform/platform.h"

namespace datmend {

// The longest line the column table allows is under 512 bytes.
inline constexpr size_t MAX_LINE_BYTES = 512;

struct CsvWriter {
  platform::File csv_file;  // the open CSV file of the current flight, or none
  std::string csv_path;
  int32_t duration_pos = 0;  // where line 6 begins
  // Formatting only: rows are formatted into the buffer and dropped instead of written,
  // and no file is created (for fuzzing the whole pipeline in memory).
  bool discard_output = false;
  // The calendar time line 1 shows; the current time when empty.
  std::optional<int64_t> fixed_now;
  // Internals of the stream and the current flight's rows live in the implementation.
};

// Creates the flight's CSV file, "F%05d%s.CSV" beside the input, and makes it csv_file.
void open_csv_file(CsvWriter& csv, const FileState& state, const Options& options,
                   uint16_t flight_number);

// Writes lines 1 to 7 and sets duration_pos.
void write_csv_header(CsvWriter& csv, const FileState& state, const FlightHeader& header);

// Writes one data row for a sample at `row_time` (seconds since 1970, UTC).
void write_data_row(CsvWriter& csv, int64_t row_time, const SampleRecord& sample);

// Writes a text; every "\n" in it is stored as CR LF. Does nothing when no file is open.
void write_csv_line(CsvWriter& csv, std::string_view text);

// Overwrites the duration placeholder of line 6 with the flight's length in hours.
void patch_duration(CsvWriter& csv, const FlightHeader& header, int64_t last_row_time);

// Flushes and closes the CSV file; does nothing when none is open. Also the fatal path's
// last step, so a flight cut short by an error keeps the rows written before it.
void close_csv_file(CsvWriter& csv);

}  // namespace datmend

#endif  // DATMEND_CSV_CSV_WRITER_H_
