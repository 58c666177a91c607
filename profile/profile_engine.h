#pragma once
// The profile (INI) file format over an in-memory text: the lookups every reader
// applies and the edits every writer makes. Pure functions; no I/O, no state.
//
// Searches stop at the first zero byte, which ends the data as it does for a
// C reader. Edits splice the whole content, so bytes after a zero byte survive.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace kesto::profile {

// How long the names of new sections and keys may be; the server and the
// manager's store write with different limits.
struct NameLimits {
    std::size_t section_chars;  // a new section's name is cut to this
    std::size_t key_chars;      // a new key's name is cut to this before trimming
};
inline constexpr NameLimits kServerNameLimits{127, 123};

struct KeyMatch {
    std::size_t name_start;  // first character of the key name
    std::size_t equals;      // the '=' that ends the key name
};

// The position of the '[' of the first header naming `section` (case ignored).
[[nodiscard]] std::optional<std::size_t> find_section(std::string_view text,
                                                      std::string_view section);

// The key line of `key` in the body that starts at `body` (just after the header's ']').
[[nodiscard]] std::optional<KeyMatch> find_key(std::string_view text, std::size_t body,
                                               std::string_view key);

// The value after the '=' at `equals`: at most `max_chars` characters are copied,
// then trailing whitespace and one pair of enclosing double quotes are removed.
[[nodiscard]] std::string extract_value(std::string_view text, std::size_t equals,
                                        std::size_t max_chars);

// Section + key lookup; nothing when the section or the key is absent.
[[nodiscard]] std::optional<std::string> lookup(std::string_view text, std::string_view section,
                                                std::string_view key, std::size_t max_chars);

// The writer's own lines.
[[nodiscard]] std::string banner_line(std::string_view section, NameLimits limits);
[[nodiscard]] std::string key_line(std::string_view key, std::string_view value, NameLimits limits);

// One edit of `content`:
//   key and value       set the key (append section, insert key or replace value);
//   key, no value       delete the key's line;
//   no key              delete the whole section with its banner.
// Returns true when the content changed.
bool apply_edit(std::string& content, std::string_view section, std::optional<std::string_view> key,
                std::optional<std::string_view> value, NameLimits limits);

}  // namespace kesto::profile
