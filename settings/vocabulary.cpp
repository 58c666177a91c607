#include "settings/vocabulary.h"

#include "base/ascii.h"

namespace kesto::settings {

SystemType system_type_from_name(std::string_view sys) {
    for (const Word<SystemType>& word : kSystemTypeWords) {
        if (ascii::equal_ignoring_case(sys, word.text)) return word.value;
    }
    return SystemType::UNIX;
}

bool flag_is_set(std::string_view value) {
    return ascii::equal_ignoring_case(value, "yes") || value == "1";
}

}  // namespace kesto::settings
