#include "server/formats/wildcard.h"

#include <algorithm>
#include <cstddef>

#include "base/ascii.h"

namespace kesto::formats {

namespace {

// Folded bytes compare as unsigned, so names sort in byte order.
constexpr unsigned char upper(char c) {
    return static_cast<unsigned char>(ascii::to_upper(c));
}

// Greedy matching that backtracks only to the last '*' seen: a later '*' subsumes every
// choice of an earlier one, so no state needs more than one revisit per name position.
bool glob_match(std::string_view pattern, std::string_view name, LetterCase letters) {
    const auto same = [letters](char a, char b) {
        return letters == LetterCase::exact ? a == b : upper(a) == upper(b);
    };
    constexpr std::size_t kNone = std::string_view::npos;
    std::size_t p = 0;
    std::size_t n = 0;
    std::size_t star = kNone;  // position of the last '*' in the pattern
    std::size_t resume = 0;    // name position that '*' currently extends to
    while (n < name.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = n;
        } else if (p < pattern.size() && (pattern[p] == '?' || same(pattern[p], name[n]))) {
            ++p;
            ++n;
        } else if (star != kNone) {
            p = star + 1;
            n = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*') ++p;
    return p == pattern.size();
}

// The part of `pattern` that stands for a name without an extension, if it has one.
std::string_view without_extension_part(std::string_view pattern) {
    if (pattern.ends_with(".*")) return pattern.substr(0, pattern.size() - 2);
    if (pattern.ends_with('.')) return pattern.substr(0, pattern.size() - 1);
    return {};
}

// Three-way comparison of the upper-cased bytes.
int compare_folded(std::string_view a, std::string_view b) {
    const std::size_t common = std::min(a.size(), b.size());
    for (std::size_t i = 0; i < common; ++i) {
        if (upper(a[i]) != upper(b[i])) return upper(a[i]) < upper(b[i]) ? -1 : 1;
    }
    if (a.size() == b.size()) return 0;
    return a.size() < b.size() ? -1 : 1;
}

int special_rank(std::string_view name) {
    if (name == ".") return 0;
    if (name == "..") return 1;
    return 2;
}

}  // namespace

bool wildcard_match(std::string_view pattern, std::string_view name, LetterCase letters) {
    if (glob_match(pattern, name, letters)) return true;
    if (name.find('.') != std::string_view::npos) return false;
    const bool has_ending = pattern.ends_with('.') || pattern.ends_with(".*");
    return has_ending && glob_match(without_extension_part(pattern), name, letters);
}

bool search_order_less(std::string_view a, std::string_view b) {
    const int rank_a = special_rank(a);
    const int rank_b = special_rank(b);
    if (rank_a != rank_b) return rank_a < rank_b;
    const int folded = compare_folded(a, b);
    if (folded != 0) return folded < 0;
    return a < b;  // char_traits<char> compares as unsigned bytes
}

void sort_in_search_order(std::vector<std::string>& names) {
    // Each name is folded once, not at every comparison: folders hold thousands.
    struct Keyed {
        int rank;
        std::string folded;
        std::string name;
    };
    std::vector<Keyed> keyed;
    keyed.reserve(names.size());
    for (std::string& name : names) {
        std::string folded(name.size(), '\0');
        std::transform(name.begin(), name.end(), folded.begin(),
                       [](char c) { return static_cast<char>(upper(c)); });
        keyed.push_back({special_rank(name), std::move(folded), std::move(name)});
    }
    // std::string compares as unsigned bytes, as search_order_less does.
    std::sort(keyed.begin(), keyed.end(), [](const Keyed& a, const Keyed& b) {
        if (a.rank != b.rank) return a.rank < b.rank;
        if (a.folded != b.folded) return a.folded < b.folded;
        return a.name < b.name;
    });
    for (std::size_t i = 0; i < names.size(); ++i) names[i] = std::move(keyed[i].name);
}

bool has_wildcards(std::string_view path) {
    return path.find_first_of("*?") != std::string_view::npos;
}

std::string complete_listing_pattern(std::string_view path, bool names_existing_folder) {
    if (path.empty()) return "*";
    std::string pattern(path);
    if (names_existing_folder && !has_wildcards(path)) {
        pattern += ascii::is_path_separator(path.back()) ? "*" : "/*";
    } else if (ascii::is_path_separator(path.back())) {
        pattern += '*';
    }
    return pattern;
}

}  // namespace kesto::formats
