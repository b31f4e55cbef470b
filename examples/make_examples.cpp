// Makes the sample data files in examples/ with the project's test-data builder:
//   single.DAT  a single-engine, six-cylinder instrument with three flights
//   twin.DAT    a twin-engine instrument (model 760) with two flights
// Usage: make_examples <output directory>. The output is the same on every run.
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>
#include <vector>

#include "support/data_builder.h"

namespace {

using datmend::testdata::DataFileSpec;
using datmend::testdata::FlightSpec;
using datmend::testdata::RecordSpec;

// A small deterministic generator, so the samples never change between builds.
struct Random {
  uint32_t state;
  int below(int n) {
    state = state * 1664525u + 1013904223u;
    return static_cast<int>((state >> 8) % static_cast<uint32_t>(n));
  }
  int between(int low, int high) { return low + below(high - low + 1); }
};

// The running values of the instrument as the decoder will hold them, so that every record
// carries exactly the change from the previous sample.
struct Instrument {
  std::array<int, 48> values{};
  bool twin = false;

  explicit Instrument(bool is_twin) : twin(is_twin) {
    values.fill(240);
    if (!twin) values[30] = values[42] = 0;
  }

  // Moves `slot` towards `target`, as far as one record can carry it.
  void move(RecordSpec& record, int slot, int target) {
    const bool scaled = slot < 8 || (slot >= 24 && slot < 32);
    int change = target - values[slot];
    if (!scaled && change > 255) change = 255;
    if (!scaled && change < -255) change = -255;
    record.change(slot, change);
    values[slot] += change;
  }

  // RPM lives in slot 41 with its high byte in slot 42, merged after every record.
  void move_rpm(RecordSpec& record, int target) {
    const int change = target - values[41];
    if (!twin) {
      record.change_rpm(change);
    } else {
      // The twin neither negates the high byte nor starts it at 0: cancel what it holds.
      const int high = (change >= 0 ? change : -change) >> 8;
      const bool subtract = change < 0;
      const int wanted_high = subtract ? -high : high;
      const int low = (change >= 0 ? change : -change) & 0xFF;
      if (low != 0) record.delta(41, static_cast<uint8_t>(low), subtract);
      const int high_change = wanted_high - values[42];
      if (high_change != 0) {
        record.delta(42, static_cast<uint8_t>(high_change < 0 ? -high_change : high_change),
                     high_change < 0);
      }
      values[42] = 0;
    }
    values[41] = target;
  }
};

struct EngineTargets {
  int egt;
  int cht;
  int oil;
  int fuel_flow;  // tenths of a gallon per hour
};

// One flight: climb, cruise and descent, a sample every `interval` seconds.
FlightSpec make_flight(uint16_t number, bool twin, uint32_t flags, int minutes, int start_hour,
                       int start_minute, Random& random) {
  FlightSpec flight;
  flight.flight_number = number;
  flight.flags = flags;
  flight.unit_flags = 0x20;
  flight.interval = 6;
  flight.date = datmend::testdata::pack_date(26, 5, 10 + number % 10);
  flight.time = datmend::testdata::pack_time(start_hour, start_minute, 0);

  Instrument instrument(twin);
  const int samples = minutes * 10;
  int used_gallons = 0;  // tenths
  const int engines = twin ? 2 : 1;
  std::array<std::array<int, 6>, 2> egt_spread{};
  for (auto& engine : egt_spread) {
    for (int& spread : engine) spread = random.between(-40, 40);
  }

  for (int sample = 0; sample < samples;) {
    RecordSpec record;
    // Now and then a cylinder-head probe drops out for a sample.
    const int dropped_slot = random.below(40) == 0 ? 8 + random.below(6) : -1;
    const bool climbing = sample < samples / 6;
    const bool descending = sample > samples * 5 / 6;
    const EngineTargets target = climbing     ? EngineTargets{1310, 385, 192, 172}
                                 : descending ? EngineTargets{1220, 315, 181, 60}
                                              : EngineTargets{1440, 352, 186, 98};
    for (int engine = 0; engine < engines; ++engine) {
      const int base = 24 * engine;
      for (int cylinder = 0; cylinder < 6; ++cylinder) {
        const int e_slot = base + cylinder;
        const int c_slot = base + 8 + cylinder;
        instrument.move(record, e_slot,
                        target.egt + egt_spread[engine][cylinder] + random.between(-6, 6));
        const int cht = target.cht + cylinder * 4 + random.between(-3, 3);
        if (engine == 0 && c_slot == dropped_slot) {
          record.not_available(c_slot);
        } else {
          instrument.move(record, c_slot, cht);
        }
      }
      instrument.move(record, base + 15, target.oil + random.between(-1, 1));
      instrument.move(record, base + 23, target.fuel_flow + random.between(-2, 2));
      used_gallons += target.fuel_flow / 60;  // tenths per six seconds, roughly
      instrument.move(record, base + 22, std::min(used_gallons / 10, 990));
    }
    instrument.move(record, 20, 141 + random.between(0, 2));          // battery, tenths of a volt
    instrument.move(record, 21, climbing ? 12 : descending ? 9 : 4);  // OAT
    instrument.move(record, 40, climbing ? 248 : descending ? 180 : 232);  // MAP, tenths
    instrument.move(record, 30, climbing ? 78 : descending ? 35 : 65);     // HP, percent
    instrument.move_rpm(record, climbing ? 2620 : descending ? 1900 : 2400);
    // The pilot pressed the mark button once in cruise.
    instrument.move(record, 16, sample == samples / 2 ? 1 : 0);

    // In steady cruise the instrument repeats unchanged samples.
    if (!climbing && !descending && random.below(4) == 0) {
      record.repeat(static_cast<uint8_t>(random.between(1, 3)));
    }
    sample += 1 + record.repeat_count;
    flight.records.push_back(record);
  }
  return flight;
}

void write(const std::string& path, const DataFileSpec& desc) {
  datmend::testdata::write_file(path, datmend::testdata::build_bytes(desc));
  std::printf("%s\n", path.c_str());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::printf("usage: make_examples <output directory>\n");
    return 2;
  }
  const std::string dir = argv[1];
  try {
    Random random{20260517};
    // BAT and MARK, C1-C6, E1-E6, OIL, OAT, RPM, FF and USD, MAP (and so HP).
    const uint32_t flags = 0x1u | (0x3Fu << 2) | (0x3Fu << 11) | (1u << 20) | (1u << 25) |
                           (1u << 26) | (1u << 27) | (1u << 30);

    DataFileSpec single;
    single.model = 830;
    single.feature_flags = flags;
    single.firmware_version = "310";
    single.aircraft_number = "N530TX";
    single.flights.push_back(make_flight(101, false, flags, 24, 9, 5, random));
    single.flights.push_back(make_flight(102, false, flags, 18, 13, 40, random));
    single.flights.push_back(make_flight(103, false, flags, 30, 16, 12, random));
    write(dir + "/single.DAT", single);

    DataFileSpec twin;
    twin.model = 760;
    twin.feature_flags = flags;
    twin.firmware_version = "152";
    twin.aircraft_number = "N76TW";
    twin.flights.push_back(make_flight(41, true, flags, 20, 8, 30, random));
    twin.flights.push_back(make_flight(42, true, flags, 15, 11, 0, random));
    write(dir + "/twin.DAT", twin);
  } catch (const std::exception& error) {
    std::printf("make_examples: %s\n", error.what());
    return 1;
  }
  return 0;
}
