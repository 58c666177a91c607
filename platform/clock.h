#pragma once
// Local time, with the TZ the process runs under: log stamps, MDTM and listings; UTC
// (MDTM for desktop clients); the time now; and the tick count since system start that
// diagnostic traces stamp their lines with.

#include <cstdint>
#include <ctime>

namespace kesto::platform {

// `seconds` since the epoch in local time; false when it cannot be converted (the
// year does not fit the broken-down time).
[[nodiscard]] bool to_local_time(std::int64_t seconds, std::tm& out);

// `seconds` since the epoch in UTC (RFC 3659 times); false when it cannot be converted.
[[nodiscard]] bool to_utc_time(std::int64_t seconds, std::tm& out);

// Now in local time (the epoch's, should the clock be beyond conversion).
[[nodiscard]] std::tm local_now();

// Now, in seconds since the epoch.
[[nodiscard]] std::int64_t seconds_since_epoch();

// Milliseconds since the system started, time spent suspended included; never goes back.
[[nodiscard]] std::int64_t milliseconds_since_boot();

}  // namespace kesto::platform
