#include "flight/flight_decoder.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <optional>
#include <span>

#include "driver/fatal_error.h"
#include "flight/checksum.h"
#include "flight/flight_header.h"
#include "flight/packed_time.h"
#include "flight/record_decoder.h"
#include "flight/record_layout.h"

namespace datmend {
namespace {

constexpr int MAX_CYLINDERS = 9;
constexpr int FIRST_CYLINDER_BIT = 2;
constexpr int E_SLOTS_PER_ENGINE = 6;
constexpr int HIGH_E_SLOT_BASE = 18;  // E7 to E9 lie in slots 24 to 26, for either engine

// The cylinder count: the run of set feature bits from bit 2 upward, at most 9 long.
int cylinder_count(uint32_t flags) {
  return std::countr_one((flags >> FIRST_CYLINDER_BIT) & ((1u << MAX_CYLINDERS) - 1));
}

struct Flight {
  const FileState& state;
  CsvWriter& csv;
  FlightHeader header;
  SampleRecord sample;
  int64_t row_time = 0;  // the time of the next row
};

void write_row(Flight& flight) {
  write_data_row(flight.csv, flight.row_time, flight.sample);
  flight.row_time += flight.header.interval;
}

// Decodes the record at record[0], which runs to the region's end and holds at least four
// bytes, and writes its repeat rows and its own row. Returns the record's length.
size_t decode_record(Flight& flight, std::span<const uint8_t> record) {
  // The repeat rows show the previous record's values and come before any check of this
  // record: a damaged record still leaves them in the file.
  for (uint8_t repeat = record[2]; repeat != 0; --repeat) write_row(flight);

  RecordLayout layout;
  if (!read_record_layout(record, &layout)) fatal_error("Unexpected end of data record");
  if (!verify_record_checksum(flight.state, record.first(layout.checksum_offset),
                              record[layout.checksum_offset])) {
    fatal_error("Data checksum failed");
  }
  const uint16_t model = flight.state.config.model;
  apply_record(flight.sample, record, layout, model);
  finish_sample(flight.sample, flight.header.flags, model);
  write_row(flight);
  return layout.checksum_offset + 1;
}

// Converts the flight of `entry`, whose region begins at data[0] (`data` runs on to the end
// of the file). The header's checksum byte is data[14]: for a flight of 7 words the byte
// after its region, which the walk has found inside the file.
void convert_flight(const FileState& state, const Options& options, CsvWriter& csv,
                    const FlightDirEntry& entry, std::span<const uint8_t> data) {
  Flight flight{state, csv, {}, {}, 0};
  reset_sample(flight.sample, state.config.model);

  const std::span<const uint8_t, FLIGHT_HEADER_BYTES> header_bytes =
      data.first<FLIGHT_HEADER_BYTES>();
  if (!verify_record_checksum(state, header_bytes, data[FLIGHT_HEADER_BYTES])) {
    fatal_error("Flight header checksum failed");
  }
  FlightHeader& header = flight.header;
  header = read_flight_header(header_bytes);
  if (header.flight_number != entry.flight_number) {
    fatal_error("Flight numbers don't match (%d header, %d data), invalid file",
                static_cast<int>(header.flight_number), static_cast<int>(entry.flight_number));
  }
  // Every row's time of day comes from the start time: a flight without one gets no file.
  const std::optional<int64_t> start = packed_to_time(header.time, header.date);
  if (!start) {
    fatal_error("Flight %u start time cannot be converted to local time",
                static_cast<unsigned>(entry.flight_number));
  }
  flight.row_time = *start;
  if (header.interval < MIN_INTERVAL || header.interval > MAX_INTERVAL) {
    header.interval = DEFAULT_INTERVAL;
  }

  open_csv_file(csv, state, options, header.flight_number);
  write_csv_header(csv, state, header);
  const std::span<const uint8_t> region = data.first(2 * size_t{entry.length_words});
  // A rest of one to three bytes cannot hold a record and is ignored.
  for (size_t pos = FLIGHT_HEADER_SIZE; pos + RECORD_FIXED_BYTES < region.size();) {
    pos += decode_record(flight, region.subspan(pos));
  }
  patch_duration(csv, header, flight.row_time - header.interval);
  close_csv_file(csv);
}

}  // namespace

void convert_flights(const FileState& state, const Options& options, CsvWriter& csv) {
  const std::span<const uint8_t> data = state.bytes();
  // data_start may lie one byte beyond the end of the file; 64 bits keep every sum exact.
  uint64_t pos = state.data_start;
  for (uint32_t i = 0; i < state.flight_count; ++i) {
    const FlightDirEntry& entry = state.flight_dir[i];
    const uint64_t end = pos + 2 * uint64_t{entry.length_words};
    // A region that ends exactly at the end of the file is refused too: a flight of 7
    // words needs the byte after its region for its header's checksum.
    if (end >= data.size()) fatal_error("Data ends unexpectedly");
    if (entry.length_words < MIN_FLIGHT_WORDS) {
      fatal_error("Flight %u data length too short", static_cast<unsigned>(entry.flight_number));
    }
    if (options.only_flight == 0 || options.only_flight == entry.flight_number) {
      convert_flight(state, options, csv, entry, data.subspan(static_cast<size_t>(pos)));
    }
    pos = end;
  }
}

void finish_sample(SampleRecord& sample, uint32_t flags, uint16_t model) {
  const int cylinders = cylinder_count(flags);
  const int engines = model == TWIN_MODEL ? 2 : 1;
  // Cylinders 1 to 6 are the engine's own E slots, 7 to 9 slots 24 to 26 for either engine.
  // Both runs start on a byte of na_bits, so each is one mask of available slots.
  static_assert(ENGINE_STRIDE % 8 == 0 && (HIGH_E_SLOT_BASE + E_SLOTS_PER_ENGINE) % 8 == 0);
  const unsigned own_mask = (1u << std::min(cylinders, E_SLOTS_PER_ENGINE)) - 1;
  const unsigned high_mask = (1u << std::max(cylinders - E_SLOTS_PER_ENGINE, 0)) - 1;
  constexpr int high_first = HIGH_E_SLOT_BASE + E_SLOTS_PER_ENGINE;
  for (int engine = 0; engine < engines; ++engine) {
    // The maximum starts at -1, so no available value gives -1 - 32767 = -32768.
    int high = -1;
    int low = INT16_MAX;
    auto take = [&](int first, unsigned available) {
      for (; available != 0; available &= available - 1) {
        const int value = sample.values[first + std::countr_zero(available)];
        low = std::min(low, value);
        high = std::max(high, value);
      }
    };
    const int first = ENGINE_STRIDE * engine;
    take(first, ~unsigned{sample.na_bits[first / 8]} & own_mask);
    take(high_first, ~unsigned{sample.na_bits[high_first / 8]} & high_mask);
    sample.dif[engine] = static_cast<int16_t>(high - low);
  }
  if (flags & RPM_FLAG) {
    const uint32_t rpm = static_cast<uint16_t>(sample.values[RPM_SLOT]) +
                         (uint32_t{static_cast<uint16_t>(sample.values[RPM_HIGH_SLOT])} << 8);
    sample.values[RPM_SLOT] = static_cast<int16_t>(static_cast<uint16_t>(rpm));
    sample.values[RPM_HIGH_SLOT] = 0;
  }
}

}  // namespace datmend
