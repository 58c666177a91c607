#include "manager/account_checks.h"

#include <algorithm>

#include "base/ascii.h"
#include "common/message_numbers.h"
#include "common/paths.h"
#include "common/text_helpers.h"
#include "manager/account_list.h"
#include "settings/keys.h"

namespace kesto::manager {

namespace {

// A section header is one line "[name]" found by its closing bracket: a bracket or a
// line break inside the name would hide the account from every later lookup.
bool fits_section_name(std::string_view name) {
    return std::none_of(name.begin(), name.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return c == '[' || c == ']' || byte < 0x20 || byte == 0x7F;
    });
}

// The account list the caller stores once the account is accepted.
std::string users_after(std::string_view users, std::string_view name, std::string_view old_name) {
    if (old_name.empty()) return users_with(users, name);
    return users_with(users_without(users, old_name), name);
}

}  // namespace

RefusalNotice notice_of(Refusal refusal) {
    switch (refusal) {
        case Refusal::none:
            break;
        case Refusal::name_empty:
            return {msg::kNameEmpty, 0, Field::name};
        case Refusal::name_too_long:
            return {msg::kNameTooLong, settings::kManagerNameChars, Field::name};
        case Refusal::name_not_a_section_name:
            return {msg::kNameNotASectionName, 0, Field::name};
        case Refusal::name_taken:
            return {msg::kNameTaken, 0, Field::name};
        case Refusal::user_list_full:
            return {msg::kUserListFull, settings::kUserList.max_chars, Field::name};
        case Refusal::password_empty:
            return {msg::kPasswordEmpty, 0, Field::password};
        case Refusal::password_too_long:
            return {msg::kPasswordTooLong, settings::kAccountPass.max_chars, Field::password};
        case Refusal::folder_empty:
            return {msg::kFolderEmpty, 0, Field::folder};
        case Refusal::folder_too_long:
            return {msg::kFolderTooLong, settings::kAccountPath.max_chars, Field::folder};
    }
    return {0, 0, Field::name};
}

std::string cleaned_name(std::string_view typed) {
    std::string name(typed);
    name.erase(std::remove(name.begin(), name.end(), ','), name.end());
    return common::trimmed(name);
}

std::string cleaned_password(std::string_view typed) {
    return common::trimmed(typed);
}

std::string cleaned_folder(std::string_view typed) {
    // normalise_path cuts blanks and TABs; a pasted line break goes as well.
    return common::normalise_path(common::trimmed(typed));
}

Refusal check_name(std::string_view name, std::string_view users, std::string_view old_name) {
    if (name.empty()) return Refusal::name_empty;
    if (name.size() > settings::kManagerNameChars) return Refusal::name_too_long;
    if (!fits_section_name(name)) return Refusal::name_not_a_section_name;
    // A change of letter case only keeps the account's section and its place in the list.
    if (!old_name.empty() && ascii::equal_ignoring_case(name, old_name)) return Refusal::none;
    if (lists_name(users, name)) return Refusal::name_taken;
    if (!users_fit(users_after(users, name, old_name))) return Refusal::user_list_full;
    return Refusal::none;
}

Refusal check_password(std::string_view password) {
    if (password.empty()) return Refusal::password_empty;
    if (password.size() > settings::kAccountPass.max_chars) return Refusal::password_too_long;
    return Refusal::none;
}

Refusal check_folder(std::string_view folder) {
    if (folder.empty()) return Refusal::folder_empty;
    if (folder.size() > settings::kAccountPath.max_chars) return Refusal::folder_too_long;
    return Refusal::none;
}

}  // namespace kesto::manager
