#include "header/file_state.h"

#include <gtest/gtest.h>

namespace datmend {
namespace {

TEST(FileState, ResetClearsTheHeaderValuesAndKeepsTheLoadedFile) {
  FileState state;
  state.input_path = "dir/F.DAT";
  state.buffer = std::make_unique<uint8_t[]>(16);
  uint8_t* const storage = state.buffer.get();
  state.buffer_capacity = 16;
  state.file_size = 9;
  state.a_values.fill(1);
  state.config = ConfigRecord{760, 0x12345678, 3, 140};
  state.f_values.fill(2);
  state.t_values.fill(3);
  state.l_value = 4;
  state.aircraft_number = "N12345";
  state.flight_dir[0] = FlightDirEntry{12, 100};
  state.flight_dir[511] = FlightDirEntry{13, 200};
  state.flight_count = 512;
  state.data_start = 99;
  state.legacy_threshold = 140;
  state.legacy_version_text = "139";

  reset_file_state(state);

  EXPECT_EQ(state.input_path, "dir/F.DAT");
  EXPECT_EQ(state.buffer.get(), storage);
  EXPECT_EQ(state.buffer_capacity, 16u);
  EXPECT_EQ(state.file_size, 9u);
  EXPECT_EQ(state.a_values, (std::array<uint16_t, 8>{}));
  EXPECT_EQ(state.config.model, 0);
  EXPECT_EQ(state.config.feature_flags, 0u);
  EXPECT_EQ(state.config.config_word, 0);
  EXPECT_EQ(state.config.firmware_version, 0);
  EXPECT_EQ(state.f_values, (std::array<uint16_t, 5>{}));
  EXPECT_EQ(state.t_values, (std::array<uint16_t, 6>{}));
  EXPECT_EQ(state.l_value, 0);
  EXPECT_EQ(state.aircraft_number, "");
  EXPECT_EQ(state.flight_dir[0].flight_number, 0);
  EXPECT_EQ(state.flight_dir[511].length_words, 0);
  EXPECT_EQ(state.flight_count, 0u);
  EXPECT_EQ(state.data_start, 0u);
  EXPECT_EQ(state.legacy_threshold, 0);
  EXPECT_EQ(state.legacy_version_text, "");
}

}  // namespace
}  // namespace datmend
