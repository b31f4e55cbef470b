#include "driver/run.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "driver/data_file.h"
#include "driver/file_list.h"
#include "driver/switches.h"
#include "flight/flight_decoder.h"
#include "header/header_reader.h"
#include "legacy/legacy_rewrite.h"

namespace datmend {
namespace {

void print_usage() { std::fputs(USAGE_TEXT, stdout); }

void process_path(RunState& run, const std::string& path) {
  reset_file_state(run.file);
  std::fwrite(path.data(), 1, path.size(), stdout);
  std::fputc('\n', stdout);
  load_data_file(run.file, path);
  parse_header_records(run.file);
  if (run.options.rewrite) {
    rewrite_legacy_file(run.file);
  } else {
    convert_flights(run.file, run.options, run.csv);
  }
}

}  // namespace

int run_command_line(RunState& run, int argc, const char* const* argv) {
  if (argc < 2) {
    print_usage();
    return 0;
  }
  for (int i = 1; i < argc && argv[i] != nullptr; ++i) {
    const std::string_view arg = argv[i];
    if (is_switch(arg)) {
      if (apply_switch(arg, run.options) == SwitchAction::kShowUsage) {
        print_usage();
        return 0;
      }
      continue;
    }
    // The whole list is made before its first path is used, so outputs written beside the
    // inputs meanwhile are not picked up by this pattern.
    const std::vector<std::string> paths = expand_file_list(std::string(arg));
    for (const std::string& path : paths) process_path(run, path);
  }
  return 0;
}

}  // namespace datmend
