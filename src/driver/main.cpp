// datmend: converts engine-monitor flight-data files to CSV files, or with "-r" writes them
// in the older format. All the work is in datmend_core; this is the one place that turns a
// fatal error into its message and exit status 1.
#include <cstdio>
#include <new>
#include <string_view>

#include "driver/fatal_error.h"
#include "driver/run.h"

namespace {

// Prints the message exactly as formatted, then finishes the CSV file in progress so that
// the rows written before the error stay on disk.
int end_with_error(datmend::RunState& run, std::string_view message) {
  std::fwrite(message.data(), 1, message.size(), stdout);
  try {
    datmend::close_csv_file(run.csv);
  } catch (const datmend::FatalError&) {
    // The run already ends with the first error's message; a second failure while
    // finishing the file has nothing to add to it.
  } catch (const std::bad_alloc&) {
  }
  std::fflush(stdout);
  return 1;
}

}  // namespace

int main(int argc, char** argv) {
  datmend::RunState run;
  try {
    const int status = datmend::run_command_line(run, argc, argv);
    std::fflush(stdout);
    return status;
  } catch (const datmend::FatalError& error) {
    return end_with_error(run, error.message);
  } catch (const std::bad_alloc&) {
    return end_with_error(run, "Memory allocation failed");
  }
}
