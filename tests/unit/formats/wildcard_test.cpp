// Wildcard matching, search order and pattern completion of the directory search.
#include "server/formats/wildcard.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using kesto::formats::complete_listing_pattern;
using kesto::formats::search_order_less;
using kesto::formats::sort_in_search_order;
using kesto::formats::wildcard_match;

TEST(Wildcard, ExactLettersForDesktopClients) {
    using kesto::formats::LetterCase;
    EXPECT_TRUE(wildcard_match("*.bin", "b.bin", LetterCase::exact));
    EXPECT_FALSE(wildcard_match("*.bin", "B.BIN", LetterCase::exact));
    EXPECT_FALSE(wildcard_match("b?BIN", "b.bin", LetterCase::exact));
    EXPECT_TRUE(wildcard_match("Mixed*", "Mixed Case.txt", LetterCase::exact));
    EXPECT_FALSE(wildcard_match("mixed*", "Mixed Case.txt", LetterCase::exact));
    EXPECT_TRUE(wildcard_match("readme.*", "readme", LetterCase::exact));  // the ".*" rule stays
    EXPECT_FALSE(wildcard_match("README.*", "readme", LetterCase::exact));
}

TEST(Wildcard, CaseIsIgnoredForAsciiOnly) {
    EXPECT_TRUE(wildcard_match("PART1.NC", "part1.nc"));
    EXPECT_TRUE(wildcard_match("part1.nc", "PART1.NC"));
    EXPECT_TRUE(wildcard_match("*.NC", "o1000.nc"));
    EXPECT_FALSE(wildcard_match("\xC3\x89", "\xC3\xA9"));  // É and é stay distinct
    EXPECT_FALSE(wildcard_match("PART1.NC", "PART1.NCX"));
    EXPECT_FALSE(wildcard_match("PART1.NC", "PART1.N"));
}

TEST(Wildcard, StarMatchesAnyRunAndQuestionMarkExactlyOne) {
    EXPECT_TRUE(wildcard_match("*", "anything.at.all"));
    EXPECT_TRUE(wildcard_match("*", "."));
    EXPECT_TRUE(wildcard_match("*", ".."));
    EXPECT_TRUE(wildcard_match("P*1*.NC", "PART1.NC"));
    EXPECT_TRUE(wildcard_match("P*1*.NC", "P1.NC"));
    EXPECT_TRUE(wildcard_match("*A*A", "BANANA"));
    EXPECT_FALSE(wildcard_match("*A*A*B", "BANANA"));
    EXPECT_TRUE(wildcard_match("PART?.NC", "PART7.NC"));
    EXPECT_FALSE(wildcard_match("PART?.NC", "PART.NC"));
    EXPECT_FALSE(wildcard_match("PART?.NC", "PART12.NC"));
    EXPECT_TRUE(wildcard_match("????", "ABCD"));
    EXPECT_FALSE(wildcard_match("????", "ABC"));
    EXPECT_TRUE(wildcard_match("", ""));
    EXPECT_FALSE(wildcard_match("", "A"));
    EXPECT_FALSE(wildcard_match("A", ""));
}

TEST(Wildcard, DotEndingsOfWindowsPatterns) {
    for (const char* name : {"README", "a.b", "x.tar.gz", ".", "..", ".profile"}) {
        EXPECT_TRUE(wildcard_match("*.*", name)) << name;
    }
    // "*." names the files without an extension (and "." and ".." literally).
    EXPECT_TRUE(wildcard_match("*.", "README"));
    EXPECT_TRUE(wildcard_match("*.", "."));
    EXPECT_TRUE(wildcard_match("*.", ".."));
    EXPECT_FALSE(wildcard_match("*.", "a.b"));
    EXPECT_FALSE(wildcard_match("*.", ".profile"));
    EXPECT_TRUE(wildcard_match("PART1.*", "PART1"));
    EXPECT_TRUE(wildcard_match("PART1.*", "part1.nc"));
    EXPECT_FALSE(wildcard_match("PART1.*", "PART12"));
    EXPECT_TRUE(wildcard_match("O1000.", "O1000"));
}

TEST(Wildcard, HostilePatternsFinishWithoutExponentialBacktracking) {
    const std::string name(20000, 'a');
    std::string pattern;
    for (int i = 0; i < 200; ++i) pattern += "*a";
    EXPECT_FALSE(wildcard_match(pattern + "*b", name));
    EXPECT_TRUE(wildcard_match(pattern + "*", name));
    EXPECT_FALSE(wildcard_match(pattern + "*b.*", name));
    EXPECT_FALSE(wildcard_match(pattern + "?b.", name));
}

TEST(SearchOrder, DotEntriesFirstThenUpperCasedBytesThenRawBytes) {
    std::vector<std::string> names = {"b", "_x", "..",       "A",     "a.txt", "a", ".",
                                      "B", "[",  ".profile", "a_txt", "10",    "9"};
    sort_in_search_order(names);
    const std::vector<std::string> expected = {".",     "..",    ".profile", "10", "9", "A", "a",
                                               "a.txt", "a_txt", "B",        "b",  "[", "_x"};
    EXPECT_EQ(names, expected);
}

TEST(SearchOrder, IsAStrictTotalOrder) {
    const std::vector<std::string> names = {".", "..", "...", "A", "a", "Ab", "aB", "\xE9", ""};
    for (const auto& x : names) {
        EXPECT_FALSE(search_order_less(x, x)) << x;
        for (const auto& y : names) {
            if (x == y) continue;
            EXPECT_NE(search_order_less(x, y), search_order_less(y, x)) << x << " " << y;
        }
    }
    // Bytes above 0x7F sort after ASCII, as unsigned values.
    EXPECT_TRUE(search_order_less("Z", "\xE9"));
}

TEST(ListingPattern, CompletionOfFoldersSeparatorsAndEmptyPaths) {
    EXPECT_EQ(complete_listing_pattern("", false), "*");
    EXPECT_EQ(complete_listing_pattern("", true), "*");
    EXPECT_EQ(complete_listing_pattern("SUB", true), "SUB/*");
    EXPECT_EQ(complete_listing_pattern("SUB/", true), "SUB/*");
    EXPECT_EQ(complete_listing_pattern("SUB\\", true), "SUB\\*");
    EXPECT_EQ(complete_listing_pattern("/", true), "/*");
    EXPECT_EQ(complete_listing_pattern("SUB/", false), "SUB/*");
    EXPECT_EQ(complete_listing_pattern("SUB", false), "SUB");
    // Wildcards are never completed, even when a folder has such a name.
    EXPECT_EQ(complete_listing_pattern("S*", true), "S*");
    EXPECT_EQ(complete_listing_pattern("SUB/*.NC", false), "SUB/*.NC");
    // LIST takes no options: "-LA" is a pattern like any other.
    EXPECT_EQ(complete_listing_pattern("-LA", false), "-LA");
}
