#include "synthetic_flight.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <utility>

#include "support/data_builder.h"

namespace datmend::bench {
namespace {

using testdata::RecordSpec;

constexpr uint16_t kTwinModel = 760;
constexpr int kEngineStride = 24;
constexpr int kSlots = 48;
constexpr int kMarkSlot = 16;
constexpr int kRpmSlot = 41;
constexpr int kRpmHighSlot = 42;
constexpr uint32_t kMarkFeature = 1u << 0;
constexpr uint32_t kRpmFeature = 1u << 26;
constexpr uint32_t kHpFeatures = (1u << 26) | (1u << 27) | (1u << 30);
constexpr int kFlightHeaderBytes = 15;

// How one value moves: a bounded random walk of at most `step` per record, taken in
// `percent` of the records. A `step` of 0 counts up by one instead (fuel used, in tenths).
struct Channel {
  uint32_t feature_mask;  // the value moves only when its column is selected
  int slot;               // the first engine's slot
  bool per_engine;
  int low;
  int high;
  int step;
  int percent;
};

// E7 to E9 and C7 to C9 are left out: on the twin their slots are the second engine's.
constexpr std::array<Channel, 25> kChannels = {{
    {1u << 11, 0, true, 1250, 1480, 6, 70},  // E1 to E6: exhaust gas
    {1u << 12, 1, true, 1250, 1480, 6, 70},
    {1u << 13, 2, true, 1250, 1480, 6, 70},
    {1u << 14, 3, true, 1250, 1480, 6, 70},
    {1u << 15, 4, true, 1250, 1480, 6, 70},
    {1u << 16, 5, true, 1250, 1480, 6, 70},
    {1u << 2, 8, true, 310, 395, 2, 35},  // C1 to C6: cylinder heads
    {1u << 3, 9, true, 310, 395, 2, 35},
    {1u << 4, 10, true, 310, 395, 2, 35},
    {1u << 5, 11, true, 310, 395, 2, 35},
    {1u << 6, 12, true, 310, 395, 2, 35},
    {1u << 7, 13, true, 310, 395, 2, 35},
    {1u << 21, 6, true, 1300, 1550, 6, 60},  // T1, T2: turbine inlet
    {1u << 22, 7, true, 1300, 1550, 6, 60},
    {1u << 28, 14, true, -6, 6, 1, 20},       // CLD: shock cooling
    {1u << 20, 15, true, 172, 198, 1, 10},    // OIL
    {1u << 23, 18, true, 110, 190, 2, 20},    // CDT
    {1u << 24, 19, true, 60, 110, 1, 10},     // IAT
    {1u << 27, 22, true, 0, 0, 0, 25},        // USD, tenths
    {1u << 27, 23, true, 95, 185, 2, 40},     // FF, tenths
    {1u << 0, 20, false, 138, 146, 1, 5},     // BAT, tenths
    {1u << 25, 21, false, -15, 28, 1, 5},     // OAT
    {1u << 30, 40, false, 185, 295, 2, 30},   // MAP, tenths
    {kHpFeatures, 30, false, 55, 78, 1, 15},  // HP (its slot is the twin's RT1)
    {kRpmFeature, kRpmSlot, false, 2250, 2650, 10, 40},
}};

bool is_scale_slot(int slot) { return slot < 8 || (slot >= 24 && slot < 32); }

// The running values as the decoder will hold them after each record.
struct Instrument {
  std::array<int, kSlots> values{};
  bool twin = false;
  uint32_t flags = 0;
  int mark_records_left = 0;
};

Instrument start_instrument(const FlightPlan& plan) {
  Instrument instrument;
  instrument.twin = plan.model == kTwinModel;
  instrument.flags = plan.flags;
  instrument.values.fill(240);
  if (!instrument.twin) instrument.values[30] = instrument.values[kRpmHighSlot] = 0;
  return instrument;
}

// Moves `slot` towards `target`, as far as one record can carry it.
void move(Instrument& instrument, RecordSpec& record, int slot, int target) {
  int change = target - instrument.values[slot];
  if (!is_scale_slot(slot)) change = std::clamp(change, -255, 255);
  if (change == 0) return;
  record.change(slot, change);
  instrument.values[slot] += change;
}

// RPM is slot 41 with a high byte in slot 42 that the decoder folds in after every record.
// The single-engine decoder negates the high byte with slot 41's sign; the twin does not, and
// starts slot 42 at 240 instead of 0, so its first record must cancel that.
void move_rpm(Instrument& instrument, RecordSpec& record, int target) {
  int& rpm = instrument.values[kRpmSlot];
  int& high_byte = instrument.values[kRpmHighSlot];
  if (!instrument.twin) {
    record.change_rpm(target - rpm);
  } else {
    const int need = target - rpm - 256 * high_byte;
    const bool subtract = need < 0;
    const int magnitude = std::min(std::abs(need), 0xFFFF);
    if ((magnitude & 0xFF) != 0) {
      record.delta(kRpmSlot, static_cast<uint8_t>(magnitude & 0xFF), subtract);
    }
    if ((magnitude >> 8) != 0) {
      record.delta(kRpmHighSlot, static_cast<uint8_t>(magnitude >> 8), subtract);
    }
  }
  rpm = target;
  high_byte = 0;
}

int walk(const Channel& channel, int current, Rng& rng) {
  if (channel.step == 0) return current + 1;
  if (current < channel.low || current > channel.high) {
    return rng.between(channel.low, channel.high);
  }
  return std::clamp(current + rng.between(-channel.step, channel.step), channel.low, channel.high);
}

// Mostly 0 to 3 repeated samples, now and then a longer steady stretch.
uint8_t repeat_count(Rng& rng) {
  const int draw = rng.below(100);
  if (draw < 45) return 0;
  if (draw < 70) return 1;
  if (draw < 85) return 2;
  if (draw < 95) return 3;
  return static_cast<uint8_t>(rng.between(4, 20));
}

RecordSpec next_record(Instrument& instrument, bool first, Rng& rng) {
  RecordSpec record;
  record.repeat(first ? 0 : repeat_count(rng));
  const int engines = instrument.twin ? 2 : 1;
  for (const Channel& channel : kChannels) {
    if ((instrument.flags & channel.feature_mask) != channel.feature_mask) continue;
    for (int engine = 0; engine < (channel.per_engine ? engines : 1); ++engine) {
      const int slot = channel.slot + kEngineStride * engine;
      // On the twin, HP's slot holds the second engine's T1, and with RPM the second
      // engine's CDT slot is the RPM high byte.
      if (instrument.twin && channel.slot == 30) continue;
      if (instrument.twin && slot == kRpmHighSlot && (instrument.flags & kRpmFeature)) continue;
      const int current = instrument.values[slot];
      const bool outside = channel.step != 0 && (current < channel.low || current > channel.high);
      if (!outside && rng.below(100) >= channel.percent) continue;
      if (!outside && rng.one_in(4000)) {
        record.not_available(slot);  // a probe drops out until its next change
        continue;
      }
      const int target = walk(channel, current, rng);
      if (slot == kRpmSlot) {
        move_rpm(instrument, record, target);
      } else {
        move(instrument, record, slot, target);
      }
    }
  }
  if (instrument.flags & kMarkFeature) {
    int mark = instrument.values[kMarkSlot];
    if (first) {
      mark = 0;
    } else if (instrument.mark_records_left > 0) {
      if (--instrument.mark_records_left == 0) mark = 0;
    } else if (rng.one_in(2500)) {
      mark = 1;
      instrument.mark_records_left = rng.between(1, 4);
    }
    move(instrument, record, kMarkSlot, mark);
  }
  if (instrument.flags & kRpmFeature) {
    instrument.values[kRpmSlot] += 256 * instrument.values[kRpmHighSlot];
    instrument.values[kRpmHighSlot] = 0;
  }
  return record;
}

}  // namespace

SyntheticFlight make_synthetic_flight(const FlightPlan& plan, Rng& rng) {
  testdata::FlightSpec desc;
  desc.flight_number = plan.flight_number;
  desc.flags = plan.flags;
  desc.unit_flags = 0x20;
  desc.interval = plan.interval;
  desc.date = plan.date;
  desc.time = plan.time;
  desc.form = testdata::ChecksumForm::kSum;

  SyntheticFlight flight;
  Instrument instrument = start_instrument(plan);
  // The region is padded to whole words, so an even limit keeps the padding inside it.
  const size_t limit = plan.max_region_bytes & ~size_t{1};
  size_t size = kFlightHeaderBytes;
  while (plan.max_records == 0 || flight.records < plan.max_records) {
    RecordSpec record = next_record(instrument, flight.records == 0, rng);
    const size_t bytes = testdata::encode_record(record, desc.form).size();
    if (size + bytes > limit) break;
    size += bytes;
    ++flight.records;
    flight.rows += record.repeat_count + 1u;
    desc.records.push_back(std::move(record));
  }
  flight.region = testdata::encode_flight(desc);
  return flight;
}

}  // namespace datmend::bench
