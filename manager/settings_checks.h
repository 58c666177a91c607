#pragma once
// The server settings dialog's rules without a window: how the log level is shown and
// stored, how a typed address part, log file name and number are read.

#include <optional>
#include <string>
#include <string_view>

#include "settings/keys.h"

namespace kesto::manager {

// The entry of the log level list a stored LOG_LEVEL shows: 0 for "NONE", 1 for "FATAL"
// (letter case ignored), 2 for any other word, "EXTREME" included, which logs at least
// as much as "INFORMATIONAL".
[[nodiscard]] int log_level_index(std::string_view stored);
// The word stored for a list entry: "NONE", "FATAL", and "INFORMATIONAL" for the rest.
[[nodiscard]] std::string_view log_level_word(int index);

// One typed part of the address: trimmed, it must begin with a digit, and its leading
// number ("007" gives 7, "12x" gives 12) must be at most 255. Nothing otherwise.
[[nodiscard]] std::optional<int> address_part(std::string_view typed);

// The log file as the server takes it: a bare name. The typed text is normalised as a
// path ('\' read as '/'), then only what follows the last '/' is kept, without double
// quotes at its ends: "C:\logs\ftp.log" and "/var/log/ftp.log" both give "ftp.log".
[[nodiscard]] std::string bare_log_file_name(std::string_view typed);

// A typed whole number (white space around it allowed) within the key's range; nothing
// when the text is not a number or lies outside. Text after the digits is refused, so
// that "80x" never becomes port 80 unnoticed.
[[nodiscard]] std::optional<long> number_in_range(std::string_view typed,
                                                  const settings::NumberKey& key);

}  // namespace kesto::manager
