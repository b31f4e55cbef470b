#include "driver/switches.h"

#include <cstdint>
#include <string>

#include "driver/fatal_error.h"

namespace datmend {

const char USAGE_TEXT[] =
    "DATMEND [-r] [-s] [-f#] datfiles\n"
    "\n"
    "  datfiles are a list of .DAT or .JPI files to translate, wildcards allowed.\n"
    "\n"
    "  -r      Instead of translating the .DAT file to .CSV files, this will\n"
    "          merely change the .DAT file back to the older format which is\n"
    "          supported by EZSave. This should work on files which may have\n"
    "          options that are not yet recognized by this program. The resulting\n"
    "          file will be named with the suffix -MEND (e.g. Ryymmdd-MEND.DAT).\n"
    "          In the event of .JPI file names as input, it will always output names\n"
    "          with .DAT extension names so EZSave will find them easily.\n"
    "\n"
    "  -s      Suppress CSV file name suffixing (i.e. no Fnnnnn-MEND.CSV naming)\n"
    "  -f#     Display only flight #'s data (# is numeric value)\n"
    "\n"
    "A few of the less common features of the .DAT files are not fully understood,\n"
    "so if there is some kind of translation error it could be an option\n"
    "that hasn't been seen and debugged yet. Particular cases may include recording\n"
    "engine temps in deg C, fuel flow in other than GPH, etc.\n"
    "Note that you can still use the -r option to get EZSave to work\n"
    "with your file in those cases.\n";

namespace {

bool is_space(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// The flight number is read leniently: white space, an optional sign, then digits up to
// the first other character. No digits give 0; a value beyond the signed 32-bit range is
// held at the nearer end of that range before its low 16 bits are kept.
uint16_t read_flight_number(std::string_view text) {
  size_t i = 0;
  while (i < text.size() && is_space(text[i])) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
    negative = text[i] == '-';
    ++i;
  }
  constexpr int64_t kLimit = int64_t{1} << 31;  // magnitude of INT32_MIN
  int64_t magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    if (magnitude <= kLimit) magnitude = magnitude * 10 + (text[i] - '0');
  }
  int64_t value = negative ? -magnitude : magnitude;
  if (value > INT32_MAX) value = INT32_MAX;
  if (value < INT32_MIN) value = INT32_MIN;
  return static_cast<uint16_t>(static_cast<uint32_t>(value) & 0xFFFF);
}

char lower_ascii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

}  // namespace

bool is_switch(std::string_view arg) { return !arg.empty() && (arg[0] == '-' || arg[0] == '/'); }

SwitchAction apply_switch(std::string_view arg, Options& options) {
  const char letter = arg.size() >= 2 ? lower_ascii(arg[1]) : '\0';
  switch (letter) {
    case '?':
      return SwitchAction::kShowUsage;
    case 'f':
      if (arg.size() == 2) {
        fatal_error("-f argument must have the flight# follow without space separating it.");
      }
      options.only_flight = read_flight_number(arg.substr(2));
      return SwitchAction::kApplied;
    case 'r':
      options.rewrite = true;
      return SwitchAction::kApplied;
    case 's':
      options.no_suffix = true;
      return SwitchAction::kApplied;
    default:
      fatal_error("Unknown switch %s\n", std::string(arg).c_str());
  }
}

}  // namespace datmend
