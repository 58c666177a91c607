#include "settings/vocabulary.h"

namespace kesto::settings {

namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equals_upper(std::string_view text, std::string_view upper_word) {
    if (text.size() != upper_word.size()) return false;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (upper(text[i]) != upper_word[i]) return false;
    }
    return true;
}

}  // namespace

SystemType system_type_from_name(std::string_view sys) {
    for (const Word<SystemType>& word : kSystemTypeWords) {
        if (equals_upper(sys, word.text)) return word.value;
    }
    return SystemType::UNIX;
}

bool flag_is_set(std::string_view value) {
    return equals_upper(value, "YES") || value == "1";
}

}  // namespace kesto::settings
