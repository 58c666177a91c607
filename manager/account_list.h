#pragma once
// The account list USERLIST/USERS: account names separated by commas, in the order the
// main window shows them. Pure text rules, shared by the main window and the editor.

#include <string>
#include <string_view>
#include <vector>

namespace kesto::manager {

// The names as the main window lists them: a token starts after white space and runs
// to the next comma, white space at its end dropped; empty tokens are skipped; a name
// is cut to 32 characters.
[[nodiscard]] std::vector<std::string> listed_names(std::string_view users);

// The list names `name` (trimmed tokens, letter case ignored).
[[nodiscard]] bool lists_name(std::string_view users, std::string_view name);

// The list without `name`: every other token, empty ones included, in order.
[[nodiscard]] std::string users_without(std::string_view users, std::string_view name);

// The list with `name` appended.
[[nodiscard]] std::string users_with(std::string_view users, std::string_view name);

// The stored list must stay below 4,096 characters.
[[nodiscard]] bool users_fit(std::string_view users);

}  // namespace kesto::manager
