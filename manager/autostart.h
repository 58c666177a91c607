#pragma once
// The entry that starts the server when a user logs in: an XDG autostart desktop entry,
// machine-wide, in the first folder of $XDG_CONFIG_DIRS + "/autostart". Its Exec line
// runs "<program folder>/kftpd" with "<program folder>/cfg/KestoFTP.ini", both quoted,
// so a program folder with blanks (or quotes, '$', '\', '%') starts the right server.

#include <string>
#include <string_view>
#include <vector>

namespace kesto::manager {

inline constexpr std::string_view kAutostartFileName = "kesto-ftp-service.desktop";

// The folder of the entry: the first absolute folder of $XDG_CONFIG_DIRS (unset or
// empty: /etc/xdg) + "/autostart".
[[nodiscard]] std::string autostart_folder();

// The folder exists or can be created, and a file can be written there (proved by
// writing and removing a probe file beside the entry).
[[nodiscard]] bool autostart_writable();

// The entry exists and its Exec line runs this program folder's server.
[[nodiscard]] bool autostart_enabled(std::string_view program_folder);

// On: writes the entry afresh (atomically, mode 0644). Off: removes it; an entry that is
// already gone counts as removed. False when the folder could not be changed.
bool set_autostart(std::string_view program_folder, bool on);

// The entry's whole text for a program folder.
[[nodiscard]] std::string autostart_entry(std::string_view program_folder);

// One argument quoted for an Exec line: in double quotes, with '"', '`', '$' and '\'
// escaped by a backslash and '%' doubled (a field code otherwise).
[[nodiscard]] std::string quoted_exec_argument(std::string_view argument);
// The Exec value as stored in the file: every backslash doubled once more (and line
// breaks and TABs escaped), because the value is itself a string with escapes.
[[nodiscard]] std::string escaped_exec_value(std::string_view command_line);
// The arguments of a stored Exec value, both escape layers undone; the inverse of the
// two functions above, for the arguments they produce.
[[nodiscard]] std::vector<std::string> exec_arguments(std::string_view stored_value);

}  // namespace kesto::manager
