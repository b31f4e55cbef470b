// Writes one CSV file per converted flight, beside the input: six quoted header lines, the
// column-name row and one row per sample. Every line ends with CR LF on every system, and
// byte positions count the CR bytes. At most one CSV file is open at a time.
//
// Calling order for one flight: open_csv_file, write_csv_header, write_data_row for every
// sample, patch_duration, close_csv_file. A run that ends with an error calls
// close_csv_file last, so the flight in progress keeps what was written before the error.
#ifndef DATMEND_CSV_CSV_WRITER_H_
#define DATMEND_CSV_CSV_WRITER_H_

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "csv/csv_stream.h"
#include "csv/local_clock.h"
#include "csv/row_format.h"
#include "driver/options.h"
#include "flight/flight_header.h"
#include "flight/sample_record.h"
#include "header/file_state.h"

namespace datmend {

// The longest line the column table allows is under 512 bytes.
inline constexpr size_t MAX_LINE_BYTES = 512;

struct CsvWriter {
  CsvStream csv_file;  // the CSV file of the current flight; active while one is open
  std::string csv_path;
  int32_t duration_pos = 0;  // where line 6 begins
  // Formatting only: rows are formatted into the buffer and dropped instead of written,
  // and no file is created (for fuzzing the whole pipeline in memory).
  bool discard_output = false;
  // The calendar time line 1 shows; the current time when empty.
  std::optional<int64_t> fixed_now;

  // The drive and directory of the CSV files, joined for prefix_input_path.
  std::string prefix_input_path;
  std::string path_prefix;
  // The current flight, set by write_csv_header.
  uint16_t flight_number = 0;
  uint32_t duration_line_bytes = 0;
  RowPlan row_plan;
  LocalClock clock;
};

// Creates the flight's CSV file, "F%05d%s.CSV" beside the input, and makes it csv_file.
// A file of that name is replaced. Fatal when the system refuses the path.
void open_csv_file(CsvWriter& csv, const FileState& state, const Options& options,
                   uint16_t flight_number);

// Writes lines 1 to 7 and sets duration_pos; plans the data rows from the file's model and
// "$C" feature flags (the column-name row follows the header's own flags).
void write_csv_header(CsvWriter& csv, const FileState& state, const FlightHeader& header);

// Writes one data row for a sample at `row_time` (seconds since 1970, UTC). Does nothing
// when no file is open.
void write_data_row(CsvWriter& csv, int64_t row_time, const SampleRecord& sample);

// Writes a text; every "\n" in it is stored as CR LF. Does nothing when no file is open.
void write_csv_line(CsvWriter& csv, std::string_view text);

// Overwrites the duration placeholder of line 6 with the flight's length in hours (a
// flight that ends before it starts, one without rows, keeps " 0.00") and writes out
// everything buffered; a failed write is fatal. Does nothing when no file is open.
void patch_duration(CsvWriter& csv, const FlightHeader& header, int64_t last_row_time);

// Writes out what is still buffered and closes the CSV file; does nothing when none is
// open. Never ends the run, since it is also the last step of a run that ends with an
// error; the write errors of a flight's normal end are reported by patch_duration.
void close_csv_file(CsvWriter& csv);

}  // namespace datmend

#endif  // DATMEND_CSV_CSV_WRITER_H_
