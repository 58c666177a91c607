// The wildcard matcher and the search order on arbitrary patterns and names.
#include <fuzzer/FuzzedDataProvider.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

#include "server/formats/wildcard.h"

using namespace kesto::formats;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const std::string pattern = in.ConsumeRandomLengthString(256);
    const std::string name = in.ConsumeRandomLengthString(1024);
    const bool matched = wildcard_match(pattern, name);
    if (!wildcard_match("*", name)) __builtin_trap();
    // Exact letters (desktop clients) only narrow the match.
    if (wildcard_match(pattern, name, LetterCase::exact) && !matched) __builtin_trap();
    // A pattern without wildcards matches the names equal to it, case ignored.
    if (!has_wildcards(pattern) && pattern.size() == name.size() &&
        std::equal(pattern.begin(), pattern.end(), name.begin(),
                   [](char a, char b) {
                       return std::toupper(static_cast<unsigned char>(a)) ==
                              std::toupper(static_cast<unsigned char>(b));
                   }) &&
        !matched) {
        __builtin_trap();
    }
    std::vector<std::string> names;
    while (in.remaining_bytes() > 0 && names.size() < 32)
        names.push_back(in.ConsumeRandomLengthString(16));
    names.push_back(name);
    sort_in_search_order(names);
    if (!std::is_sorted(names.begin(), names.end(), search_order_less)) __builtin_trap();
    return 0;
}
