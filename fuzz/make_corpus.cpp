// Writes the seed corpus of the fuzz targets with the project's test-data builder: good
// single-engine and twin files, several flights, both checksum forms, seven-word flights,
// each "-f#" choice, and a few files with one thing broken. Each input is one control
// byte (the switches, see datmend_fuzzer.cpp) followed by the data file.
// Usage: make_corpus <output directory>. The output is the same on every run.
#include <cstdio>
#include <exception>
#include <string>
#include <vector>

#include "support/data_builder.h"

namespace {

using datmend::testdata::ChecksumForm;
using datmend::testdata::DataFileSpec;
using datmend::testdata::FlightSpec;
using datmend::testdata::RecordSpec;

// Control bytes: every flight, the first entry's number, the last entry's, flight 3 (from
// bits 3-7), each with or without no_suffix.
constexpr uint8_t kAllFlights = 0x00;
constexpr uint8_t kNoSuffix = 0x01;
constexpr uint8_t kFirstFlight = 0x02;
constexpr uint8_t kLastFlight = 0x04;
constexpr uint8_t kFlightThree = 0x06 | (3 << 3);

struct Random {
  uint32_t state;
  int below(int n) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<uint32_t>(n));
  }
};

// BAT and MARK, C1-C6, E1-E6, OIL, OAT, RPM, FF and USD, MAP (and so HP).
constexpr uint32_t kCommonFlags = 0x1u | (0x3Fu << 2) | (0x3Fu << 11) | (1u << 20) | (1u << 25) |
                                  (1u << 26) | (1u << 27) | (1u << 30);

// Records that touch a few slots each: small changes, scales, a probe that drops out, a
// repeat now and then.
std::vector<RecordSpec> some_records(int count, bool twin, Random& random) {
  std::vector<RecordSpec> records;
  for (int i = 0; i < count; ++i) {
    RecordSpec record;
    const int slots = 1 + random.below(6);
    for (int k = 0; k < slots; ++k) {
      const int slot = random.below(twin ? 48 : 24);
      if (slot == 41 || slot == 42) continue;
      record.change(slot, random.below(61) - 30);
    }
    if (random.below(5) == 0) record.not_available(8 + random.below(6));
    if (random.below(4) == 0) record.repeat(static_cast<uint8_t>(1 + random.below(3)));
    if (!twin && random.below(3) == 0) record.change_rpm(random.below(801) - 400);
    if (i == 0) record.change(0, 1200);  // a scaled change: a delta and a scale byte
    records.push_back(record);
  }
  return records;
}

FlightSpec flight(uint16_t number, uint32_t flags, ChecksumForm form, int records, bool twin,
                  Random& random) {
  FlightSpec desc;
  desc.flight_number = number;
  desc.flags = flags;
  desc.form = form;
  desc.date = datmend::testdata::pack_date(21, 6, 1 + number % 28);
  desc.time = datmend::testdata::pack_time(10, number % 60, 0);
  desc.records = some_records(records, twin, random);
  return desc;
}

DataFileSpec single_engine(uint16_t model, const char* version) {
  DataFileSpec desc;
  desc.model = model;
  desc.feature_flags = kCommonFlags;
  desc.firmware_version = version;
  return desc;
}

void write(const std::string& dir, const char* name, uint8_t control, const DataFileSpec& desc) {
  std::vector<uint8_t> bytes{control};
  const std::vector<uint8_t> file = datmend::testdata::build_bytes(desc);
  bytes.insert(bytes.end(), file.begin(), file.end());
  datmend::testdata::write_file(dir + "/" + name, bytes);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: make_corpus <output directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  try {
    Random random{20210615};
    const ChecksumForm kSum = ChecksumForm::kSum;
    const ChecksumForm kXor = ChecksumForm::kXor;

    DataFileSpec one = single_engine(830, "310");
    one.flights.push_back(flight(1, kCommonFlags, kSum, 12, false, random));
    write(dir, "single_sum", kAllFlights, one);
    write(dir, "single_sum_no_suffix", kNoSuffix, one);

    DataFileSpec xor_form = single_engine(700, "300");
    xor_form.flights.push_back(flight(7, kCommonFlags, kXor, 12, false, random));
    write(dir, "single_xor", kAllFlights, xor_form);

    DataFileSpec three = single_engine(830, "310");
    three.flights.push_back(flight(1, kCommonFlags, kSum, 8, false, random));
    three.flights.push_back(flight(2, kCommonFlags, kXor, 8, false, random));
    three.flights.push_back(flight(3, kCommonFlags, kSum, 8, false, random));
    write(dir, "three_flights", kAllFlights, three);
    write(dir, "three_flights_first", kFirstFlight, three);
    write(dir, "three_flights_last", kLastFlight, three);
    write(dir, "three_flights_f3", kFlightThree, three);

    DataFileSpec twin;
    twin.model = 760;
    twin.feature_flags = kCommonFlags;
    twin.firmware_version = "152";
    twin.flights.push_back(flight(41, kCommonFlags, kSum, 10, true, random));
    twin.flights.push_back(flight(42, kCommonFlags, kXor, 10, true, random));
    write(dir, "twin", kAllFlights, twin);
    write(dir, "twin_last", kLastFlight | kNoSuffix, twin);

    DataFileSpec twin_old = twin;
    twin_old.firmware_version = "139";
    write(dir, "twin_older_version", kAllFlights, twin_old);

    DataFileSpec single_old = single_engine(700, "299");
    single_old.flights.push_back(flight(5, kCommonFlags, kSum, 4, false, random));
    write(dir, "single_older_version", kAllFlights, single_old);

    // A flight of seven words has no records; its header checksum is the next flight's
    // first byte.
    DataFileSpec seven = single_engine(830, "310");
    FlightSpec empty = flight(1, kCommonFlags, kSum, 0, false, random);
    seven.flights.push_back(empty);
    seven.flights.push_back(flight(2, kCommonFlags, kSum, 4, false, random));
    write(dir, "seven_word_flight", kAllFlights, seven);

    DataFileSpec every_flag = single_engine(900, "400");
    every_flag.feature_flags = 0xFFFFFFFFu;
    every_flag.flights.push_back(flight(9, 0xFFFFFFFFu, kSum, 10, false, random));
    write(dir, "every_feature", kAllFlights, every_flag);

    DataFileSpec twin_every = twin;
    twin_every.feature_flags = 0xFFFFFFFFu;
    twin_every.flights = {flight(3, 0xFFFFFFFFu, kXor, 10, true, random)};
    write(dir, "twin_every_feature", kAllFlights, twin_every);

    DataFileSpec odd = single_engine(830, "310");
    odd.include_other_records = false;
    odd.aircraft_number.reset();
    odd.extra_records = {datmend::testdata::header_record("Q,1,2"),
                         datmend::testdata::header_record("C,830,1,0,0,310")};
    FlightSpec odd_flight = flight(4, kCommonFlags, kSum, 6, false, random);
    odd_flight.interval = 0;  // out of range: the default interval
    odd_flight.trailing = {1, 2};
    odd.flights.push_back(odd_flight);
    write(dir, "unknown_record_default_interval", kAllFlights, odd);

    DataFileSpec no_config;
    no_config.include_config = false;
    no_config.flights.push_back(flight(1, kCommonFlags, kSum, 4, false, random));
    write(dir, "no_config", kAllFlights, no_config);

    DataFileSpec no_flights = single_engine(830, "310");
    write(dir, "no_flights", kAllFlights, no_flights);

    // One thing broken in each.
    DataFileSpec bad_record = single_engine(830, "310");
    FlightSpec bad = flight(1, kCommonFlags, kSum, 6, false, random);
    bad.records[3].checksum = 0x5A;
    bad_record.flights.push_back(bad);
    write(dir, "bad_record_checksum", kAllFlights, bad_record);

    DataFileSpec bad_header = single_engine(830, "310");
    FlightSpec bad_head = flight(1, kCommonFlags, kSum, 3, false, random);
    bad_head.header_checksum = 0x00;
    bad_header.flights.push_back(bad_head);
    write(dir, "bad_flight_header_checksum", kAllFlights, bad_header);

    DataFileSpec mismatch = single_engine(830, "310");
    FlightSpec other_number = flight(8, kCommonFlags, kSum, 3, false, random);
    other_number.header_flight_number = 9;
    mismatch.flights.push_back(other_number);
    write(dir, "flight_number_mismatch", kAllFlights, mismatch);

    DataFileSpec too_long = single_engine(830, "310");
    FlightSpec long_entry = flight(1, kCommonFlags, kSum, 3, false, random);
    long_entry.length_words = 400;
    too_long.flights.push_back(long_entry);
    write(dir, "region_past_end", kAllFlights, too_long);

    // One directory entry more than a file may hold.
    DataFileSpec full = single_engine(830, "310");
    full.include_other_records = false;
    for (int number = 1; number <= 513; ++number) {
      full.extra_records.push_back(
          datmend::testdata::header_record("D," + std::to_string(number) + ",7"));
    }
    write(dir, "directory_overflow", kAllFlights, full);

    DataFileSpec bad_text = single_engine(830, "310");
    bad_text.extra_records = {datmend::testdata::header_record_with_checksum("T,1,2,3", "ZZ")};
    write(dir, "bad_header_checksum", kAllFlights, bad_text);
  } catch (const std::exception& error) {
    std::printf("make_corpus: %s\n", error.what());
    return 1;
  }
  return 0;
}
