#include "platform/wildcard.h"

#include <cstddef>

namespace datmend::platform {
namespace {

char lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view name) {
  // Greedy matching with one backtrack point: the last "*" seen. Linear in practice and
  // never worse than pattern x name.
  size_t p = 0;
  size_t n = 0;
  size_t star = std::string_view::npos;
  size_t star_name = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_name = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || lower(pattern[p]) == lower(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_name;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool has_wildcard(std::string_view text) {
  return text.find_first_of("*?") != std::string_view::npos;
}

}  // namespace datmend::platform
