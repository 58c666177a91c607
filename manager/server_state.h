#pragma once
// Whether a server of this program folder runs: the name its control window holds.

#include <string>

namespace kesto::manager {

[[nodiscard]] bool server_running(const std::string& program_folder);

}  // namespace kesto::manager
