#include "header/file_state.h"

namespace datmend {

void reset_file_state(FileState& state) {
  state.a_values = {};
  state.config = ConfigRecord{};
  state.f_values = {};
  state.t_values = {};
  state.l_value = 0;
  state.aircraft_number.clear();
  state.flight_dir = {};
  state.flight_count = 0;
  state.data_start = 0;
  state.legacy_threshold = 0;
  state.legacy_version_text.clear();
}

}  // namespace datmend
