#pragma once
// Text rules every part of the system shares: names, keys and commands compare without
// regard to ASCII letter case (only a to z fold; bytes above 127 stay as they are), and
// a client path separates with either slash.

#include <string_view>

namespace kesto::ascii {

[[nodiscard]] constexpr char to_upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

[[nodiscard]] constexpr bool equal_ignoring_case(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (to_upper(a[i]) != to_upper(b[i])) return false;
    }
    return true;
}

[[nodiscard]] constexpr bool is_path_separator(char c) {
    return c == '/' || c == '\\';
}

}  // namespace kesto::ascii
