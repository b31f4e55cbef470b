// The argument walk and the per-path sequence of a run.
#ifndef DATMEND_DRIVER_RUN_H_
#define DATMEND_DRIVER_RUN_H_

#include "csv/csv_writer.h"
#include "driver/options.h"
#include "header/file_state.h"

namespace datmend {

// Everything one run keeps from argument to argument.
struct RunState {
  Options options;
  FileState file;
  CsvWriter csv;
};

// Takes the arguments after argv[0] strictly from left to right: a switch changes
// run.options for the later arguments; any other argument is a pattern whose paths are
// each reset, printed ("%s\n"), loaded, read and then converted or, with "-r", rewritten.
// Prints the usage text for no argument or "-?". Returns the exit status (0); every error
// propagates as FatalError, with the outputs finished before it left in place.
int run_command_line(RunState& run, int argc, const char* const* argv);

}  // namespace datmend

#endif  // DATMEND_DRIVER_RUN_H_
