#pragma once
// Library error codes: what the manager's helpers return for a failure. Each code is
// also the number of the catalogue text that describes it, so a caller shows an error
// as message(code). 0 is success; 1 is the general failure, for every system error the
// table below does not name.

#include <vector>

namespace kesto::common {

inline constexpr unsigned kSuccess = 0;
inline constexpr unsigned kGeneralFailure = 1;
inline constexpr unsigned kAccessDenied = 16;
inline constexpr unsigned kCannotMake = 46;
inline constexpr unsigned kInvalidName = 53;

// The code of a system error number; -1 stands for the calling thread's last error.
// The number is first turned into its Windows counterpart, so that this table serves
// both systems.
[[nodiscard]] unsigned map_error(int system_error);

// The table step alone: the code of a Windows error number.
[[nodiscard]] unsigned map_windows_error(unsigned windows_error);

// Every code the table yields (kGeneralFailure included, kSuccess not), ascending and
// without repeats: the catalogue needs a text for each.
[[nodiscard]] std::vector<unsigned> library_error_codes();

}  // namespace kesto::common
