#include "manager/account_list.h"

#include "base/ascii.h"
#include "settings/keys.h"

namespace kesto::manager {

namespace {

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

std::string_view trim(std::string_view text) {
    while (!text.empty() && is_space(text.front())) text.remove_prefix(1);
    while (!text.empty() && is_space(text.back())) text.remove_suffix(1);
    return text;
}

// Every token between commas, trimmed; a comma that ends the text ends the list.
std::vector<std::string_view> tokens(std::string_view users) {
    std::vector<std::string_view> out;
    while (!users.empty()) {
        const std::size_t comma = users.find(',');
        out.push_back(trim(users.substr(0, comma)));
        if (comma == std::string_view::npos) break;
        users.remove_prefix(comma + 1);
    }
    return out;
}

void append_token(std::string& list, std::string_view token) {
    if (!list.empty()) list += ',';
    list += token;
}

}  // namespace

std::vector<std::string> listed_names(std::string_view users) {
    std::vector<std::string> names;
    for (std::string_view token : tokens(users)) {
        if (!token.empty()) names.emplace_back(token.substr(0, settings::kManagerNameChars));
    }
    return names;
}

bool lists_name(std::string_view users, std::string_view name) {
    const std::string_view wanted = trim(name);
    for (std::string_view token : tokens(users)) {
        if (!token.empty() && ascii::equal_ignoring_case(token, wanted)) return true;
    }
    return false;
}

std::string users_without(std::string_view users, std::string_view name) {
    const std::string_view unwanted = trim(name);
    std::string list;
    for (std::string_view token : tokens(users)) {
        if (!ascii::equal_ignoring_case(token, unwanted)) append_token(list, token);
    }
    return list;
}

std::string users_with(std::string_view users, std::string_view name) {
    std::string list(users);
    append_token(list, name);
    return list;
}

bool users_fit(std::string_view users) {
    return users.size() <= settings::kUserList.max_chars;
}

}  // namespace kesto::manager
