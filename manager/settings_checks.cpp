#include "manager/settings_checks.h"

#include <array>
#include <charconv>

#include "base/ascii.h"
#include "common/paths.h"
#include "common/text_helpers.h"

namespace kesto::manager {

namespace {

constexpr std::array<std::string_view, 3> kLogLevelWords{"NONE", "FATAL", "INFORMATIONAL"};
constexpr int kLargestAddressPart = 255;

bool is_digit(char c) {
    return c >= '0' && c <= '9';
}

std::string_view without_quotes_at_ends(std::string_view name) {
    if (name.starts_with('"')) name.remove_prefix(1);
    if (name.ends_with('"')) name.remove_suffix(1);
    return name;
}

}  // namespace

int log_level_index(std::string_view stored) {
    for (int index = 0; index < 2; ++index) {
        if (ascii::equal_ignoring_case(stored, kLogLevelWords.at(index))) return index;
    }
    return 2;
}

std::string_view log_level_word(int index) {
    return index >= 0 && index < 2 ? kLogLevelWords.at(index) : kLogLevelWords[2];
}

std::optional<int> address_part(std::string_view typed) {
    const std::string part = common::trimmed(typed);
    if (part.empty() || !is_digit(part.front())) return std::nullopt;
    int value = 0;
    for (const char c : part) {
        if (!is_digit(c)) break;
        value = value * 10 + (c - '0');
        if (value > kLargestAddressPart) return std::nullopt;  // also keeps long runs small
    }
    return value;
}

std::string bare_log_file_name(std::string_view typed) {
    const std::string path = common::normalise_path(typed);
    const std::size_t slash = path.rfind('/');
    const std::string_view name = slash == std::string::npos
                                      ? std::string_view(path)
                                      : std::string_view(path).substr(slash + 1);
    return std::string(without_quotes_at_ends(name));
}

std::optional<long> number_in_range(std::string_view typed, const settings::NumberKey& key) {
    const std::string text = common::trimmed(typed);
    long value = 0;
    const char* const end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || !is_digit(text.front()) || error != std::errc() || stop != end) {
        return std::nullopt;
    }
    if (value < key.low || value > key.high) return std::nullopt;
    return value;
}

}  // namespace kesto::manager
