#pragma once
// Reply lines as a client receives them, and small checks on texts, shared by the
// integration tests.

#include <string>

namespace kesto::test {

inline const std::string kOkay = "200 Command okay.\r\n";
inline const std::string kComplete = "226 Transfer complete.\r\n";
inline const std::string kRefused = "421 Service not available, closing control connection.\r\n";
inline const std::string kDenied = "521 Access denied.\r\n";
inline const std::string kNotTaken = "550 Requested action not taken.\r\n";

// How often `part` occurs in `text` (overlapping occurrences counted).
inline int count(const std::string& text, const std::string& part) {
    int n = 0;
    for (auto p = text.find(part); p != std::string::npos; p = text.find(part, p + 1)) ++n;
    return n;
}

}  // namespace kesto::test
