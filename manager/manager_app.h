#pragma once
// ManagerApp: the manager's start. It prepares the configuration folder, starts the
// common library (language, catalogue, profile store) and runs the main window until
// it closes.

#include <span>

namespace kesto::manager {

// The messages shown when the library cannot start: no catalogue text exists then.
inline constexpr char kSystemErrorMessage[] = "System error - Restart computer and try again!";
inline constexpr char kInstallationMessage[] = "Installation incomplete. Please re-install!";

// Runs the manager; the process's exit status.
[[nodiscard]] int run_manager(std::span<const char* const> args);

}  // namespace kesto::manager
