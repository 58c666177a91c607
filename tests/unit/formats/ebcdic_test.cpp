// The EBCDIC tables and the in-place translation of byte ranges.
#include "server/formats/ebcdic.h"

#include <gtest/gtest.h>

#include <string>

using kesto::formats::ascii_to_ebcdic;
using kesto::formats::ebcdic_to_ascii;
using kesto::formats::translate_to_ascii;
using kesto::formats::translate_to_ebcdic;

TEST(Ebcdic, TextLineTranslatesBothWays) {
    std::string line = "AB\r\n";
    translate_to_ebcdic(line);
    EXPECT_EQ(line, std::string("\xC1\xC2\x0D\x25"));
    translate_to_ascii(line);
    EXPECT_EQ(line, "AB\r\n");
}

TEST(Ebcdic, TablesArePermutationsAndInverses) {
    std::array<int, 256> hits{};
    for (int b = 0; b < 256; ++b) {
        ++hits[ascii_to_ebcdic[b]];
        EXPECT_EQ(ebcdic_to_ascii[ascii_to_ebcdic[b]], b);
        EXPECT_EQ(ascii_to_ebcdic[ebcdic_to_ascii[b]], b);
    }
    for (int count : hits) EXPECT_EQ(count, 1);
}

TEST(Ebcdic, EveryByteSurvivesARoundTrip) {
    std::string bytes(256, '\0');
    for (int b = 0; b < 256; ++b) bytes[b] = static_cast<char>(b);
    const std::string original = bytes;
    translate_to_ebcdic(bytes);
    EXPECT_NE(bytes, original);
    translate_to_ascii(bytes);
    EXPECT_EQ(bytes, original);
}

// The dd-style table, not code page 037 or 500, where these characters differ.
TEST(Ebcdic, SpotValuesOfTheTraditionalTable) {
    EXPECT_EQ(ascii_to_ebcdic['!'], 0x4F);
    EXPECT_EQ(ascii_to_ebcdic['['], 0x4A);
    EXPECT_EQ(ascii_to_ebcdic[']'], 0x5A);
    EXPECT_EQ(ascii_to_ebcdic['^'], 0x5F);
    EXPECT_EQ(ascii_to_ebcdic['|'], 0x6A);
    EXPECT_EQ(ascii_to_ebcdic['\n'], 0x25);
    EXPECT_EQ(ascii_to_ebcdic[0x7F], 0x07);
    EXPECT_EQ(ascii_to_ebcdic[' '], 0x40);
    EXPECT_EQ(ascii_to_ebcdic['0'], 0xF0);
    EXPECT_EQ(ascii_to_ebcdic['a'], 0x81);
    EXPECT_EQ(ascii_to_ebcdic['z'], 0xA9);
    // The upper half.
    EXPECT_EQ(ascii_to_ebcdic[0x80], 0x20);
    EXPECT_EQ(ascii_to_ebcdic[0x9F], 0xE1);
    EXPECT_EQ(ascii_to_ebcdic[0xC3], 0x80);
    EXPECT_EQ(ascii_to_ebcdic[0xFF], 0xFF);
    EXPECT_EQ(ebcdic_to_ascii[0x25], '\n');
    EXPECT_EQ(ebcdic_to_ascii[0x15], 0x85);
}
