#pragma once
// Local time, with the TZ the process runs under: log stamps, MDTM and listings.

#include <cstdint>
#include <ctime>

namespace kesto::platform {

// `seconds` since the epoch in local time; false when it cannot be converted (the
// year does not fit the broken-down time).
[[nodiscard]] bool to_local_time(std::int64_t seconds, std::tm& out);

// Now in local time (the epoch's, should the clock be beyond conversion).
[[nodiscard]] std::tm local_now();

}  // namespace kesto::platform
