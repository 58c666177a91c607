#pragma once
// The rules of the directory search that are independent of the file system: Windows
// wildcard matching, the order in which a search returns names, and how a listing's
// argument becomes a search pattern. Pure functions; safe to call from any thread.

#include <string>
#include <string_view>
#include <vector>

namespace kesto::formats {

// Whether letters match up to case (the Windows rule) or exactly (desktop clients).
enum class LetterCase { ignored, exact };

// Windows wildcard matching of one name (never a path):
//   '*' matches any run of characters, '?' exactly one, ASCII case is ignored unless
//   `letters` is exact;
//   a pattern ending in ".*" or "." also matches a name without a dot that the
//   pattern without that ending matches, so "*.*" matches every name and "*." the
//   names without a dot (and "." and ".." literally).
// Runs in O(pattern x name) at worst, whatever the pattern.
[[nodiscard]] bool wildcard_match(std::string_view pattern, std::string_view name,
                                  LetterCase letters = LetterCase::ignored);

// The order of a search: "." first, ".." second, then the upper-cased bytes of the
// names (ASCII upper-casing), ties broken by the raw bytes, so the order is total.
[[nodiscard]] bool search_order_less(std::string_view a, std::string_view b);
void sort_in_search_order(std::vector<std::string>& names);

[[nodiscard]] bool has_wildcards(std::string_view path);

// Turns a listing's argument into a search pattern. The caller, which owns the file
// system, says whether `path` names an existing folder (its own case-insensitive
// lookup); the argument is not otherwise interpreted, so "-la" stays a pattern.
//   an existing folder without wildcards gets "*" after a separator, else "/*";
//   a path ending in a separator ('/' or '\') gets "*";
//   an empty path becomes "*".
[[nodiscard]] std::string complete_listing_pattern(std::string_view path,
                                                   bool names_existing_folder);

}  // namespace kesto::formats
