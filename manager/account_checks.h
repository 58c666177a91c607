#pragma once
// The account editor's checks of what was typed, without a window: each value is
// cleaned as it will be stored, then checked in the order the editor reports refusals.
// Lengths count the bytes of the UTF-8 text, as the file and the server do.

#include <cstddef>
#include <string>
#include <string_view>

namespace kesto::manager {

enum class Refusal {
    none,
    name_empty,
    name_too_long,
    name_not_a_section_name,  // the file could not hold it as "[USER<name>]"
    name_taken,
    user_list_full,  // USERLIST/USERS would reach its length limit
    password_empty,
    password_too_long,  // the server compares only the first 49 characters
    folder_empty,
    folder_too_long,  // the server reads only the first 1,024 characters
};

// The field a refusal sends the user back to.
enum class Field { name, password, folder };

// How a refusal is shown: its catalogue text, filled with `limit` where the text has a
// placeholder, and the field that gets the focus.
struct RefusalNotice {
    int message;
    std::size_t limit;
    Field field;
};

[[nodiscard]] RefusalNotice notice_of(Refusal refusal);

// Commas removed (they separate the account list), white space trimmed at both ends.
[[nodiscard]] std::string cleaned_name(std::string_view typed);
// White space trimmed at both ends.
[[nodiscard]] std::string cleaned_password(std::string_view typed);
// The folder in its stored form: white space trimmed, then common::normalise_path.
[[nodiscard]] std::string cleaned_folder(std::string_view typed);

// A cleaned name, against the stored account list `users`. `old_name` is the account's
// name before editing, empty for a new account. A new name must not be listed; an edit
// may keep its own name in another letter case, but not take another account's name.
// The list the caller would store must stay within its limit.
[[nodiscard]] Refusal check_name(std::string_view name, std::string_view users,
                                 std::string_view old_name);
[[nodiscard]] Refusal check_password(std::string_view password);
[[nodiscard]] Refusal check_folder(std::string_view folder);

}  // namespace kesto::manager
