// A fresh directory for one test, removed with everything in it at the end.
#ifndef DATMEND_TESTS_SUPPORT_TEMP_DIR_H_
#define DATMEND_TESTS_SUPPORT_TEMP_DIR_H_

#include <cstdint>
#include <string>
#include <vector>

namespace datmend::testing {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& path() const { return path_; }
  // path() joined with a relative name.
  std::string file(const std::string& name) const;
  void write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  void write(const std::string& name, const std::string& text) const;
  std::string read(const std::string& name) const;
  std::vector<uint8_t> read_bytes(const std::string& name) const;
  bool exists(const std::string& name) const;
  // Names of the entries, sorted.
  std::vector<std::string> list() const;

 private:
  std::string path_;
};

// The names in sorted order, to compare with list().
std::vector<std::string> sorted(std::vector<std::string> names);

}  // namespace datmend::testing

#endif  // DATMEND_TESTS_SUPPORT_TEMP_DIR_H_
