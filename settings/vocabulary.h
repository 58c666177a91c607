#pragma once
// The words the configuration files use, and the values they stand for: what the
// server reads and the manager offers and writes.

#include <array>
#include <string_view>

namespace kesto::settings {

// An account's listing emulation (the account key SYS; GLOBAL SYSTEM_TYPE).
enum class SystemType : int { UNIX = 1, UNKNOWN = 2, WINNT4 = 4, OKUMA = 5 };

// How much the event log records (GLOBAL LOG_LEVEL).
enum class LogLevel : int { none = 1, fatal = 2, informational = 3, extreme = 4 };

template <typename Value>
struct Word {
    std::string_view text;
    Value value;
};

// As the scanner of the GLOBAL section compares them: upper case, exactly.
inline constexpr std::array<Word<SystemType>, 4> kSystemTypeWords = {{
    {"UNIX", SystemType::UNIX},
    {"OKUMA", SystemType::OKUMA},
    {"UNKNOWN", SystemType::UNKNOWN},
    {"WINNT4", SystemType::WINNT4},
}};

inline constexpr std::array<Word<LogLevel>, 4> kLogLevelWords = {{
    {"NONE", LogLevel::none},
    {"FATAL", LogLevel::fatal},
    {"INFORMATIONAL", LogLevel::informational},
    {"EXTREME", LogLevel::extreme},
}};

// The words a flag is written with; it reads as set for "yes" in any case or "1".
inline constexpr std::string_view kFlagYes = "Yes";
inline constexpr std::string_view kFlagNo = "No";

// The value `text` names exactly; false when it names none.
template <typename Value, std::size_t N>
[[nodiscard]] constexpr bool find_word(const std::array<Word<Value>, N>& words,
                                       std::string_view text, Value& value) {
    for (const Word<Value>& word : words) {
        if (word.text == text) {
            value = word.value;
            return true;
        }
    }
    return false;
}

// SYS of an account: "OKUMA", "UNKNOWN" and "WINNT4" in any case; every other word,
// empty included, is UNIX.
[[nodiscard]] SystemType system_type_from_name(std::string_view sys);

// "yes" in any letter case, or "1".
[[nodiscard]] bool flag_is_set(std::string_view value);

}  // namespace kesto::settings
