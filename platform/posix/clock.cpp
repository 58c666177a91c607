#include "platform/clock.h"

#include <utility>

namespace kesto::platform {

bool to_local_time(std::int64_t seconds, std::tm& out) {
    if (!std::in_range<std::time_t>(seconds)) return false;
    const auto t = static_cast<std::time_t>(seconds);
    return ::localtime_r(&t, &out) != nullptr;
}

std::tm local_now() {
    std::tm tm{};
    if (!to_local_time(std::time(nullptr), tm)) (void)to_local_time(0, tm);
    return tm;
}

}  // namespace kesto::platform
