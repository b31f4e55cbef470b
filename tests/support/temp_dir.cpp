#include "support/temp_dir.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace datmend::testing {

namespace fs = std::filesystem;

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device seed;
  const fs::path base = fs::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const fs::path candidate =
        base / ("datmend-test-" + std::to_string(seed()) + "-" + std::to_string(counter++));
    std::error_code error;
    if (fs::create_directory(candidate, error)) {
      path_ = candidate.string();
      return;
    }
  }
  throw std::runtime_error("cannot create a temporary directory");
}

TempDir::~TempDir() {
  std::error_code error;
  // Make everything writable again first, so a test that took permissions away still
  // leaves nothing behind.
  for (auto it = fs::recursive_directory_iterator(path_, error);
       !error && it != fs::recursive_directory_iterator(); it.increment(error)) {
    fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, error);
  }
  fs::permissions(path_, fs::perms::owner_all, fs::perm_options::add, error);
  fs::remove_all(path_, error);
}

std::string TempDir::file(const std::string& name) const {
  return (fs::path(path_) / name).string();
}

void TempDir::write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  std::ofstream out(file(name), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()),
            static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + name);
}

void TempDir::write(const std::string& name, const std::string& text) const {
  write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::string TempDir::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + name);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> TempDir::read_bytes(const std::string& name) const {
  const std::string text = read(name);
  return std::vector<uint8_t>(text.begin(), text.end());
}

bool TempDir::exists(const std::string& name) const {
  std::error_code error;
  return fs::exists(file(name), error);
}

std::vector<std::string> TempDir::list() const {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(path_)) {
    names.push_back(entry.path().filename().string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

std::vector<std::string> sorted(std::vector<std::string> names) {
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace datmend::testing
