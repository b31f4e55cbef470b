// The command-line pieces that need no file: switch parsing, the path pieces and the name
// matching of the directory search. The input is a list of arguments separated by NUL
// bytes; the last one doubles as a file name for the match against each pattern.
//
// Checks: a switch either applies, asks for the usage text or ends with a message; "-f#"
// keeps the low 16 bits of the number as read by a plain reference; join_path gives back
// every path that split_path took apart; the name matching agrees with a plain
// table-driven reference and stays fast on patterns full of "*".
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "driver/fatal_error.h"
#include "driver/options.h"
#include "driver/path_pieces.h"
#include "driver/switches.h"
#include "platform/wildcard.h"

namespace {

using datmend::FatalError;

uint16_t reference_flight_number(std::string_view text) {
  size_t i = 0;
  while (i < text.size() &&
         std::string_view(" \t\n\v\f\r").find(text[i]) != std::string_view::npos) {
    ++i;
  }
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  long long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    value = value * 10 + (text[i] - '0');
    if (value > 3000000000LL) value = 3000000000LL;  // beyond either end: held
  }
  if (negative) value = -value;
  if (value > 2147483647LL) value = 2147483647LL;
  if (value < -2147483648LL) value = -2147483648LL;
  return static_cast<uint16_t>(static_cast<unsigned long long>(value) & 0xFFFF);
}

char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// The plain table of which pattern prefix matches which name prefix; only called on
// short inputs.
bool reference_match(std::string_view pattern, std::string_view name) {
  // matches[j]: pattern[0, i) matches name[0, j), for the current i.
  std::vector<bool> matches(name.size() + 1, false);
  matches[0] = true;
  for (const char p : pattern) {
    std::vector<bool> next(name.size() + 1, false);
    for (size_t j = 0; j <= name.size(); ++j) {
      if (p == '*') {
        next[j] = matches[j] || (j > 0 && next[j - 1]);
      } else if (j > 0) {
        next[j] = matches[j - 1] && (p == '?' || lower(p) == lower(name[j - 1]));
      }
    }
    matches = std::move(next);
  }
  return matches[name.size()];
}

void check_switch(std::string_view arg) {
  datmend::Options options;
  try {
    const datmend::SwitchAction action = datmend::apply_switch(arg, options);
    if (arg.size() < 2) std::abort();  // a lone "-" or "/" is no switch letter
    const char letter = lower(arg[1]);
    if (action == datmend::SwitchAction::kShowUsage && letter != '?') std::abort();
    if (letter == 'f' && options.only_flight != reference_flight_number(arg.substr(2))) {
      std::abort();
    }
    if (letter == 'r' && !options.rewrite) std::abort();
    if (letter == 's' && !options.no_suffix) std::abort();
  } catch (const FatalError& error) {
    if (error.message.empty()) std::abort();
  }
}

void check_path(std::string_view path) {
  const datmend::PathPieces pieces = datmend::split_path(path);
  if (datmend::join_path(pieces.drive, pieces.directory, pieces.name, pieces.extension) != path) {
    std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string_view> args;
  for (size_t start = 0;;) {
    const size_t end = input.find('\0', start);
    args.push_back(input.substr(start, end == std::string_view::npos ? end : end - start));
    if (end == std::string_view::npos) break;
    start = end + 1;
  }
  const std::string_view name = args.back();
  for (const std::string_view arg : args) {
    if (datmend::is_switch(arg)) check_switch(arg);
    check_path(arg);
    const bool matched = datmend::platform::wildcard_match(arg, name);
    if (arg.size() <= 256 && name.size() <= 256 && matched != reference_match(arg, name)) {
      std::abort();
    }
  }
  return 0;
}
