#pragma once
// Paths of the manager's own files: the program folder and the configuration folder
// below it.

#include <string>
#include <string_view>

namespace kesto::common {

// A folder path as the manager stores and compares it: '\' becomes '/', runs of '/'
// become one, blanks, TABs and double quotes are cut from both ends together with
// trailing '/'s; "/" alone stays "/".
[[nodiscard]] std::string normalise_path(std::string_view path);

// The folder of the running program, normalised; worked out once.
[[nodiscard]] const std::string& program_folder();

// `relative` below `base` ("cfg/KestoFTP.ini" below the program folder), normalised.
[[nodiscard]] std::string config_path(std::string_view base, std::string_view relative);
// The same below the program folder.
[[nodiscard]] std::string config_path(std::string_view relative);

}  // namespace kesto::common
