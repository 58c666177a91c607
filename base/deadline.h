#pragma once
// A point in time by which a wait must end, measured on the steady clock: every
// bounded wait of the system counts down the same way.

#include <algorithm>
#include <chrono>

namespace kesto {

class Deadline {
  public:
    // A negative limit: no deadline.
    explicit Deadline(int limit_ms)
        : unlimited_(limit_ms < 0),
          at_(Clock::now() + std::chrono::milliseconds(std::max(limit_ms, 0))) {}

    // What is left, for poll and the like: -1 without a deadline, 0 once it passed.
    [[nodiscard]] int remaining_ms() const {
        if (unlimited_) return -1;
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - Clock::now());
        return static_cast<int>(std::max<long long>(0, left.count()));
    }

    [[nodiscard]] bool passed() const { return remaining_ms() == 0; }

  private:
    using Clock = std::chrono::steady_clock;
    bool unlimited_;
    Clock::time_point at_;
};

}  // namespace kesto
