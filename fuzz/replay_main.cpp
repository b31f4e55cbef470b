// Runs every file of the given files and directories through the fuzz target once, without
// libFuzzer: the seed corpus and every input that once failed become an ordinary test.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

bool run_file(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) {
    std::fprintf(stderr, "cannot read %s\n", path.string().c_str());
    return false;
  }
  const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)),
                                   std::istreambuf_iterator<char>());
  LLVMFuzzerTestOneInput(bytes.data(), bytes.size());
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: %s FILE-OR-DIRECTORY...\n", argv[0]);
    return 2;
  }
  LLVMFuzzerInitialize(&argc, &argv);
  std::vector<std::filesystem::path> files;
  for (int i = 1; i < argc; ++i) {
    const std::filesystem::path path = argv[i];
    std::error_code error;
    if (std::filesystem::is_directory(path, error)) {
      for (const auto& entry : std::filesystem::directory_iterator(path)) {
        if (entry.is_regular_file() && entry.path().filename().string()[0] != '.') {
          files.push_back(entry.path());
        }
      }
    } else {
      files.push_back(path);
    }
  }
  // A fixed order, so that a report names the same input on every run.
  std::sort(files.begin(), files.end());
  for (const auto& file : files) {
    if (!run_file(file)) return 1;
  }
  // stdout is silenced by the target; the count goes to standard error.
  std::fprintf(stderr, "%zu inputs ran\n", files.size());
  return files.empty() ? 1 : 0;
}
