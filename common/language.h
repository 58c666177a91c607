#pragma once
// The language the manager speaks: a catalogue code ("us", "de", ...) chosen from the
// user's language identifier (the numbers Windows uses, so that one table serves every
// platform). On Linux the identifier comes from the locale: the first of LC_ALL,
// LC_MESSAGES and LANG that is set, such as "de_CH.UTF-8" (2055).

#include <string>
#include <string_view>

namespace kesto::common {

inline constexpr int kEnglishUnitedStates = 1033;

struct LanguageChoice {
    std::string code;       // the catalogue code
    bool americas = false;  // the identifier belongs to a country of the Americas
};

// The identifier of a locale name "ll[_CC][.codeset][@modifier]"; 1033 for "C",
// "POSIX", an empty name or a language without one.
[[nodiscard]] int language_identifier_of_locale(std::string_view locale);

// The identifier of the user's locale.
[[nodiscard]] int user_language_identifier();

[[nodiscard]] LanguageChoice language_for_identifier(int identifier);

// The choice for the user's own identifier.
[[nodiscard]] LanguageChoice default_language();

}  // namespace kesto::common
