// A reader that closes standard output early must not cut a conversion short.
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <string>

#include "support/cli_runner.h"
#include "support/data_builder.h"
#include "support/temp_dir.h"

namespace datmend {
namespace {

#ifndef _WIN32
// POSIX only: the home platform has no broken-pipe signal; writes there just fail.
TEST(BrokenPipeCli, ClosedStandardOutputStillConvertsEveryFile) {
  testing::TempDir dir;
  testdata::DataFileSpec desc;
  testdata::FlightSpec flight;
  flight.records.resize(2);
  desc.flights.push_back(flight);
  dir.write("a.dat", testdata::build_bytes(desc));
  desc.flights[0].flight_number = 2;
  dir.write("b.dat", testdata::build_bytes(desc));

  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  close(fds[0]);  // nobody reads: the first write to standard output meets a broken pipe
  const std::string binary = testing::datmend_binary();
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    dup2(fds[1], STDOUT_FILENO);
    if (chdir(dir.path().c_str()) != 0) _exit(126);
    execl(binary.c_str(), binary.c_str(), "a.dat", "b.dat", static_cast<char*>(nullptr));
    _exit(127);
  }
  close(fds[1]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(dir.exists("F00001-MEND.CSV"));
  EXPECT_TRUE(dir.exists("F00002-MEND.CSV"));
}
#endif

}  // namespace
}  // namespace datmend
