#include "support/data_builder.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace datmend::testdata {
namespace {

bool is_scale_slot(int slot) { return (slot >= 0 && slot < 8) || (slot >= 24 && slot < 32); }

void check_slot(int slot) {
  if (slot < 0 || slot >= 48) throw std::invalid_argument("slot out of range");
}

void append_be16(std::vector<uint8_t>& out, uint16_t word) {
  out.push_back(static_cast<uint8_t>(word >> 8));
  out.push_back(static_cast<uint8_t>(word & 0xFF));
}

}  // namespace

uint8_t checksum_of(const uint8_t* bytes, size_t count, ChecksumForm form) {
  uint8_t x = 0;
  uint8_t sum = 0;
  for (size_t i = 0; i < count; ++i) {
    x ^= bytes[i];
    sum = static_cast<uint8_t>(sum + bytes[i]);
  }
  return form == ChecksumForm::kXor ? x : static_cast<uint8_t>(-sum);
}

uint8_t header_checksum(std::string_view body) {
  uint8_t x = 0;
  for (char c : body) x ^= static_cast<uint8_t>(c);
  return x;
}

std::string header_record_with_checksum(std::string_view body, std::string_view checksum) {
  std::string record = "$";
  record += body;
  record += '*';
  record += checksum;
  record += "\r\n";
  return record;
}

std::string header_record(std::string_view body) {
  char digits[3];
  std::snprintf(digits, sizeof digits, "%02X", header_checksum(body));
  return header_record_with_checksum(body, digits);
}

RecordSpec& RecordSpec::repeat(uint8_t count) {
  repeat_count = count;
  return *this;
}

RecordSpec& RecordSpec::delta(int slot, uint8_t byte, bool subtract) {
  check_slot(slot);
  deltas[slot] = byte;
  if (subtract) negative.insert(slot);
  return *this;
}

RecordSpec& RecordSpec::scale(int slot, uint8_t byte, bool subtract) {
  if (!is_scale_slot(slot)) throw std::invalid_argument("slot has no scale byte");
  scales[slot] = byte;
  if (subtract) negative.insert(slot);
  return *this;
}

RecordSpec& RecordSpec::change(int slot, int amount) {
  check_slot(slot);
  if (amount == 0) return *this;
  const bool subtract = amount < 0;
  const int magnitude = subtract ? -amount : amount;
  const int high = magnitude >> 8;
  const int low = magnitude & 0xFF;
  if (high > 255 || (high > 0 && !is_scale_slot(slot))) {
    throw std::invalid_argument("change too large for the slot");
  }
  if (subtract) negative.insert(slot);
  if (low != 0) deltas[slot] = static_cast<uint8_t>(low);
  if (high != 0) scales[slot] = static_cast<uint8_t>(high);
  return *this;
}

RecordSpec& RecordSpec::not_available(int slot) { return delta(slot, 0); }

RecordSpec& RecordSpec::change_rpm(int amount) {
  if (amount == 0) return *this;
  const bool subtract = amount < 0;
  const int magnitude = subtract ? -amount : amount;
  if (magnitude > 0xFFFF) throw std::invalid_argument("RPM change too large");
  if (subtract) negative.insert(41);
  if ((magnitude & 0xFF) != 0) deltas[41] = static_cast<uint8_t>(magnitude & 0xFF);
  if ((magnitude >> 8) != 0) deltas[42] = static_cast<uint8_t>(magnitude >> 8);
  return *this;
}

std::vector<uint8_t> encode_record(const RecordSpec& record, ChecksumForm form) {
  std::array<uint8_t, 6> field{};
  std::array<uint8_t, 2> scale{};
  std::array<uint8_t, 6> sign{};
  for (const auto& [slot, byte] : record.deltas) field[slot / 8] |= 1 << (slot % 8);
  for (const auto& [slot, byte] : record.scales) scale[slot / 24] |= 1 << (slot % 24);
  for (int slot : record.negative) {
    check_slot(slot);
    sign[slot / 8] |= 1 << (slot % 8);
  }
  uint8_t decode_flags = record.extra_decode_flags;
  for (int i = 0; i < 6; ++i) {
    if (field[i]) decode_flags |= 1 << i;
  }
  if (scale[0]) decode_flags |= 0x40;
  if (scale[1]) decode_flags |= 0x80;
  uint8_t sign_presence = record.extra_sign_presence;
  for (int i = 0; i < 6; ++i) {
    if (sign[i]) sign_presence |= 1 << i;
  }

  std::vector<uint8_t> out = {decode_flags, sign_presence, record.repeat_count};
  for (int i = 0; i < 6; ++i) {
    if (decode_flags & (1 << i)) out.push_back(field[i]);
  }
  if (decode_flags & 0x40) out.push_back(scale[0]);
  if (decode_flags & 0x80) out.push_back(scale[1]);
  for (int i = 0; i < 6; ++i) {
    if (sign_presence & (1 << i)) out.push_back(sign[i]);
  }
  for (const auto& [slot, byte] : record.deltas) out.push_back(byte);
  for (const auto& [slot, byte] : record.scales) out.push_back(byte);
  const ChecksumForm used = record.form.value_or(form);
  out.push_back(record.checksum.value_or(checksum_of(out.data(), out.size(), used)));
  return out;
}

uint16_t pack_date(int year_field, int month, int day) {
  return static_cast<uint16_t>((year_field << 9) | (month << 5) | day);
}

uint16_t pack_time(int hour, int minute, int second) {
  return static_cast<uint16_t>((hour << 11) | (minute << 5) | (second / 2));
}

namespace {

// The region of one flight, with the offsets of its records from the region's start.
std::vector<uint8_t> encode_region(const FlightSpec& flight, std::vector<uint32_t>* records) {
  std::vector<uint8_t> out;
  append_be16(out, flight.header_flight_number.value_or(flight.flight_number));
  append_be16(out, static_cast<uint16_t>(flight.flags & 0xFFFF));
  append_be16(out, static_cast<uint16_t>(flight.flags >> 16));
  append_be16(out, flight.unit_flags);
  append_be16(out, flight.interval);
  append_be16(out, flight.date);
  append_be16(out, flight.time);
  out.push_back(flight.header_checksum.value_or(checksum_of(out.data(), out.size(), flight.form)));
  for (const RecordSpec& record : flight.records) {
    if (records) records->push_back(static_cast<uint32_t>(out.size()));
    const std::vector<uint8_t> bytes = encode_record(record, flight.form);
    out.insert(out.end(), bytes.begin(), bytes.end());
  }
  out.insert(out.end(), flight.trailing.begin(), flight.trailing.end());
  if (flight.pad_to_even && out.size() % 2 != 0) out.push_back(0);
  return out;
}

}  // namespace

std::vector<uint8_t> encode_flight(const FlightSpec& flight) {
  return encode_region(flight, nullptr);
}

BuiltFile build_data_file(const DataFileSpec& desc) {
  BuiltFile built;
  std::vector<std::vector<uint8_t>> regions;
  for (const FlightSpec& flight : desc.flights) {
    built.record_offsets.emplace_back();
    regions.push_back(encode_region(flight, &built.record_offsets.back()));
  }

  std::string header;
  if (desc.aircraft_number) header += header_record("U," + *desc.aircraft_number);
  if (desc.include_other_records) {
    header += header_record("A,305,230,500,415,60,1650,230,90");
    header += header_record("F,0,999,0,2950,2950");
    header += header_record("T,5,17,24,9,5,0");
  }
  if (desc.include_config) {
    built.config_offset = header.size();
    header += header_record("C," + std::to_string(desc.model) + "," +
                            std::to_string(desc.feature_flags & 0xFFFF) + "," +
                            std::to_string(desc.feature_flags >> 16) + "," +
                            std::to_string(desc.config_word) + "," + desc.firmware_version);
  }
  for (size_t i = 0; i < desc.flights.size(); ++i) {
    const uint16_t words =
        desc.flights[i].length_words.value_or(static_cast<uint16_t>(regions[i].size() / 2));
    header += header_record("D," + std::to_string(desc.flights[i].flight_number) + "," +
                            std::to_string(words));
  }
  for (const std::string& record : desc.extra_records) header += record;
  header += header_record("L,1");

  built.bytes.assign(header.begin(), header.end());
  built.data_start = static_cast<uint32_t>(built.bytes.size());
  for (const std::vector<uint8_t>& region : regions) {
    built.flight_offsets.push_back(static_cast<uint32_t>(built.bytes.size()));
    built.flight_sizes.push_back(static_cast<uint32_t>(region.size()));
    built.bytes.insert(built.bytes.end(), region.begin(), region.end());
  }
  built.bytes.insert(built.bytes.end(), desc.after_flights.begin(), desc.after_flights.end());
  return built;
}

DataFileSpec in_legacy_form(DataFileSpec desc, const std::string& version) {
  desc.firmware_version = version;
  for (FlightSpec& flight : desc.flights) {
    flight.form = ChecksumForm::kXor;
    for (RecordSpec& record : flight.records) record.form = ChecksumForm::kXor;
  }
  return desc;
}

std::vector<uint8_t> build_bytes(const DataFileSpec& desc) { return build_data_file(desc).bytes; }

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::vector<uint8_t> read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace datmend::testdata
