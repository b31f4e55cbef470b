#include "csv/csv_writer.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <utility>

#include "csv/column_table.h"
#include "driver/fatal_error.h"
#include "driver/path_pieces.h"
#include "flight/packed_time.h"
#include "platform/platform.h"

namespace datmend {
namespace {

constexpr uint32_t FUEL_FLOW_FLAG = 0x08000000;  // feature bit 27
constexpr uint16_t FAHRENHEIT_FLAG = 0x20;

// Header lines are short and formatted once per flight.
__attribute__((format(printf, 2, 3))) void write_formatted(CsvWriter& csv, const char* format,
                                                           ...) {
  char line[MAX_LINE_BYTES];
  va_list args;
  va_start(args, format);
  const int length = std::vsnprintf(line, sizeof line, format, args);
  va_end(args);
  if (length <= 0) return;
  write_csv_line(csv,
                 std::string_view(line, std::min(static_cast<size_t>(length), sizeof line - 1)));
}

// The longest column-name row is under 400 bytes; the bound only guards the buffer.
struct LineBuffer {
  char text[MAX_LINE_BYTES];
  size_t length = 0;
};

void append(LineBuffer& line, std::string_view text) {
  const size_t count = std::min(text.size(), sizeof line.text - line.length);
  std::memcpy(line.text + line.length, text.data(), count);
  line.length += count;
}

void write_column_names(CsvWriter& csv, uint16_t model, uint32_t flags) {
  LineBuffer line;
  append(line, "\"TIME\"");
  const int passes = engine_pass_count(model);
  for (int pass = 0; pass < passes; ++pass) {
    for (const ColumnDef& column : column_table) {
      if (!column_selected(column, pass, flags, model)) continue;
      append(line, ",\"");
      append(line, column_prefix(column, pass, model));
      append(line, column.name);
      append(line, "\"");
    }
  }
  append(line, ",\n");
  write_csv_line(csv, std::string_view(line.text, line.length));
}

}  // namespace

void open_csv_file(CsvWriter& csv, const FileState& state, const Options& options,
                   uint16_t flight_number) {
  close_csv_file(csv);
  char name[32];
  std::snprintf(name, sizeof name, "F%05u%s.CSV", static_cast<unsigned>(flight_number),
                options.no_suffix ? "" : "-MEND");
  // The input's drive and directory are joined once per input file; each flight then only
  // appends its name, reusing the path's storage.
  if (csv.prefix_input_path != state.input_path) {
    csv.prefix_input_path = state.input_path;
    const PathPieces input = split_path(state.input_path);
    csv.path_prefix = join_path(input.drive, input.directory, "", "");
  }
  const PathPieces file_name = split_path(name);
  csv.csv_path.assign(csv.path_prefix);
  csv.csv_path.append(join_path("", "", file_name.name, file_name.extension));

  if (csv.discard_output) {
    stream_open(csv.csv_file, platform::File(), true);
    return;
  }
  int error = 0;
  platform::File file = platform::create_for_writing(csv.csv_path, &error);
  if (!file.is_open()) {
    fatal_error("Unable to open output file %s:\n%s", csv.csv_path.c_str(),
                platform::error_text(error).c_str());
  }
  stream_open(csv.csv_file, std::move(file), false);
}

void write_csv_header(CsvWriter& csv, const FileState& state, const FlightHeader& header) {
  const ConfigRecord& config = state.config;
  csv.flight_number = header.flight_number;
  plan_data_row(csv.row_plan, config.model, config.feature_flags);
  // The time zone may differ from the previous flight's (tests change it).
  reset_local_clock(csv.clock);
  if (!csv.csv_file.active) return;

  // Line 1: the local date of the conversion. A clock that no local calendar can show
  // (years beyond the system's range) gives zeros rather than a wrong date.
  const int64_t now = csv.fixed_now ? *csv.fixed_now : platform::current_time();
  const std::optional<platform::LocalTime> today = platform::calendar_to_local(now);
  write_formatted(csv, "\"EZSave     %02d/%02d/%02d\"\n", today ? today->month : 0,
                  today ? today->day : 0, today ? (today->year % 100 + 100) % 100 : 0);
  write_formatted(csv, "\"EDM-%4d V %3d J.P.Instruments  (C) 1998\"\n",
                  static_cast<int>(config.model), static_cast<int>(config.firmware_version));
  // The aircraft number goes out byte for byte, whatever it holds.
  write_csv_line(csv, "\"Aircraft Number ");
  write_csv_line(csv, state.aircraft_number);
  write_csv_line(csv, "\"\n");
  write_formatted(csv, "\"Flight #%d %d/%d/%d %d:%d:%d\"\n", static_cast<int>(header.flight_number),
                  (header.date >> 5) & 0x0F, header.date & 0x1F, (header.date >> 9) & 0x7F,
                  (header.time >> 11) & 0x1F, (header.time >> 5) & 0x3F, 2 * (header.time & 0x1F));
  write_formatted(csv, "\"Eng Deg F     OAT Deg %s %s\"\n",
                  (header.unit_flags & FAHRENHEIT_FLAG) != 0 ? "F" : "C",
                  (header.flags & FUEL_FLOW_FLAG) != 0 ? "    F/F GPH" : "");

  const uint64_t line6_start = stream_position(csv.csv_file);
  csv.duration_pos = static_cast<int32_t>(line6_start);
  write_formatted(csv, "\"Duration  0.00Hours   Interval %d seconds    \"\n",
                  static_cast<int>(header.interval));
  csv.duration_line_bytes = static_cast<uint32_t>(stream_position(csv.csv_file) - line6_start);

  write_column_names(csv, config.model, header.flags);
}

void write_data_row(CsvWriter& csv, int64_t row_time, const SampleRecord& sample) {
  if (!csv.csv_file.active) return;
  TimeOfDay time_of_day;
  if (!local_time_of_day(csv.clock, row_time, &time_of_day)) {
    fatal_error("Flight %u row time cannot be converted to local time",
                static_cast<unsigned>(csv.flight_number));
  }
  char* out = stream_reserve(csv.csv_file, MAX_ROW_BYTES);
  char* end = format_data_row(csv.row_plan, time_of_day, sample, out);
  stream_commit(csv.csv_file, static_cast<size_t>(end - out));
}

void write_csv_line(CsvWriter& csv, std::string_view text) {
  if (!csv.csv_file.active) return;
  while (!text.empty()) {
    const size_t line_feed = text.find('\n');
    if (line_feed == std::string_view::npos) {
      stream_append(csv.csv_file, text);
      return;
    }
    stream_append(csv.csv_file, text.substr(0, line_feed));
    stream_append(csv.csv_file, "\r\n");
    text.remove_prefix(line_feed + 1);
  }
}

void patch_duration(CsvWriter& csv, const FlightHeader& header, int64_t last_row_time) {
  if (!csv.csv_file.active) return;
  const std::optional<int64_t> start = packed_to_time(header.time, header.date);
  // A flight without rows hands over a time before its start: it keeps " 0.00".
  if (start && last_row_time >= *start) {
    const uint64_t seconds = static_cast<uint64_t>(last_row_time) - static_cast<uint64_t>(*start);
    char patch[MAX_LINE_BYTES];
    const int length = std::snprintf(patch, sizeof patch, "\"Duration %5.2f",
                                     static_cast<double>(seconds) / 3600.0);
    // Never past the line's closing quote; no flight lasts long enough to come near it.
    const size_t limit = csv.duration_line_bytes > 3 ? csv.duration_line_bytes - 3 : 0;
    if (length > 0) {
      const size_t count = std::min({static_cast<size_t>(length), sizeof patch - 1, limit});
      stream_overwrite(csv.csv_file, static_cast<uint64_t>(csv.duration_pos),
                       std::string_view(patch, count));
    }
  }
  stream_flush(csv.csv_file);
}

void close_csv_file(CsvWriter& csv) { stream_close(csv.csv_file); }

}  // namespace datmend
