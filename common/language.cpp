#include "common/language.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace kesto::common {

namespace {

struct LocaleIdentifier {
    std::string_view locale;  // "ll_CC", or "ll" for the language's usual country
    int identifier;
};

// Languages with a catalogue code, the Americas, and a few others that read English.
constexpr LocaleIdentifier kLocales[] = {
    {"en", 1033},     {"en_US", 1033},  {"en_GB", 2057},  {"en_AU", 3081},  {"en_CA", 4105},
    {"en_NZ", 5129},  {"en_IE", 6153},  {"en_ZA", 7177},  {"en_JM", 8201},  {"en_BZ", 10249},
    {"en_TT", 11273}, {"de", 1031},     {"de_DE", 1031},  {"de_CH", 2055},  {"de_AT", 3079},
    {"de_LU", 4103},  {"de_LI", 5127},  {"fr", 1036},     {"fr_FR", 1036},  {"fr_BE", 2060},
    {"fr_CA", 3084},  {"fr_CH", 4108},  {"fr_LU", 5132},  {"es", 3082},     {"es_ES", 3082},
    {"es_MX", 2058},  {"es_GT", 4106},  {"es_CR", 5130},  {"es_PA", 6154},  {"es_DO", 7178},
    {"es_VE", 8202},  {"es_CO", 9226},  {"es_PE", 10250}, {"es_AR", 11274}, {"es_EC", 12298},
    {"es_CL", 13322}, {"es_UY", 14346}, {"es_PY", 15370}, {"es_BO", 16394}, {"es_SV", 17418},
    {"es_HN", 18442}, {"es_NI", 19466}, {"es_PR", 20490}, {"it", 1040},     {"it_IT", 1040},
    {"it_CH", 2064},  {"da", 1030},     {"da_DK", 1030},  {"sv", 1053},     {"sv_SE", 1053},
    {"sv_FI", 2077},  {"fi", 1035},     {"fi_FI", 1035},  {"pl", 1045},     {"pl_PL", 1045},
    {"pt", 2070},     {"pt_PT", 2070},  {"pt_BR", 1046},  {"cs", 1029},     {"cs_CZ", 1029},
    {"sk", 1051},     {"sk_SK", 1051},  {"et", 1061},     {"et_EE", 1061},  {"zh", 2052},
    {"zh_CN", 2052},  {"zh_HK", 3076},  {"zh_SG", 4100},  {"zh_TW", 1028},  {"hu", 1038},
    {"hu_HU", 1038},  {"ko", 1042},     {"ko_KR", 1042},  {"nl", 1043},     {"nl_NL", 1043},
    {"nl_BE", 2067},  {"nb", 1044},     {"nb_NO", 1044},  {"th", 1054},     {"th_TH", 1054},
};

struct CodeIdentifiers {
    std::string_view code;
    std::initializer_list<int> identifiers;
};

const CodeIdentifiers kCodes[] = {
    {"de", {1031, 2055, 3079, 4103, 5127}},
    {"fr", {1036, 2060, 3084, 4108, 5132}},
    {"sp", {1034,  3082,  2058,  4106,  5130,  6154,  7178,  8202,  9226,  10250,
            11274, 12298, 13322, 14346, 15370, 16394, 17418, 18442, 19466, 20490}},
    {"it", {1040, 2064}},
    {"dk", {1030}},
    {"se", {1053, 2077}},
    {"fi", {1035}},
    {"pl", {1045}},
    {"po", {1046, 2070}},
    {"cz", {1029, 1051}},
    {"ee", {1061}},
    {"cn", {2052, 3076, 4100}},
    {"tw", {1028}},
};

constexpr int kAmericas[] = {1033,  4105,  8201,  9225,  3084,  2058,  4106,  5130,
                             6154,  7178,  8202,  9226,  10250, 11274, 12298, 13322,
                             14346, 15370, 16394, 17418, 18442, 19466, 20490};

int lookup_locale(std::string_view name) {
    for (const auto& entry : kLocales) {
        if (entry.locale == name) return entry.identifier;
    }
    return 0;
}

}  // namespace

int language_identifier_of_locale(std::string_view locale) {
    const std::string_view name = locale.substr(0, locale.find_first_of(".@"));
    if (const int exact = lookup_locale(name)) return exact;
    if (const int language = lookup_locale(name.substr(0, name.find('_')))) return language;
    return kEnglishUnitedStates;
}

int user_language_identifier() {
    for (const char* variable : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* value = std::getenv(variable);  // NOLINT(concurrency-mt-unsafe): start-up
        if (value != nullptr && *value != '\0') return language_identifier_of_locale(value);
    }
    return kEnglishUnitedStates;
}

LanguageChoice language_for_identifier(int identifier) {
    LanguageChoice choice{"us", false};
    for (const auto& entry : kCodes) {
        if (std::find(entry.identifiers.begin(), entry.identifiers.end(), identifier) !=
            entry.identifiers.end()) {
            choice.code = std::string(entry.code);
        }
    }
    choice.americas =
        std::find(std::begin(kAmericas), std::end(kAmericas), identifier) != std::end(kAmericas);
    return choice;
}

LanguageChoice default_language() {
    return language_for_identifier(user_language_identifier());
}

}  // namespace kesto::common
