#include "platform/clock.h"

#include <time.h>

#include <utility>

namespace kesto::platform {

bool to_local_time(std::int64_t seconds, std::tm& out) {
    if (!std::in_range<std::time_t>(seconds)) return false;
    const auto t = static_cast<std::time_t>(seconds);
    return ::localtime_r(&t, &out) != nullptr;
}

bool to_utc_time(std::int64_t seconds, std::tm& out) {
    if (!std::in_range<std::time_t>(seconds)) return false;
    const auto t = static_cast<std::time_t>(seconds);
    return ::gmtime_r(&t, &out) != nullptr;
}

std::int64_t seconds_since_epoch() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

std::tm local_now() {
    std::tm tm{};
    if (!to_local_time(std::time(nullptr), tm)) (void)to_local_time(0, tm);
    return tm;
}

std::int64_t milliseconds_since_boot() {
    timespec now{};
    if (::clock_gettime(CLOCK_BOOTTIME, &now) != 0) return 0;
    return std::int64_t{now.tv_sec} * 1000 + now.tv_nsec / 1'000'000;
}

}  // namespace kesto::platform
