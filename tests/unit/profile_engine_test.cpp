// Lookups and single edits of the profile format, on in-memory texts.
#include "profile/profile_engine.h"

#include <gtest/gtest.h>

#include <string>

using kesto::profile::apply_edit;
using kesto::profile::kServerNameLimits;
using kesto::profile::lookup;

namespace {

std::string read_or(const std::string& text, const char* section, const char* key,
                    const char* fallback = "<default>", std::size_t max_chars = 255) {
    auto v = lookup(text, section, key, max_chars);
    return v ? *v : fallback;
}

bool set(std::string& text, const char* section, const char* key, const char* value) {
    return apply_edit(text, section, key, value, kServerNameLimits);
}

}  // namespace

TEST(ProfileLookup, SectionHeadersAreMatchedWithoutCaseButExactly) {
    EXPECT_EQ(read_or("[global]\r\nLOG_LEVEL=FATAL\r\n", "GLOBAL", "LOG_LEVEL"), "FATAL");
    EXPECT_EQ(read_or("  \t[GLOBAL]\r\nK=1\r\n", "GLOBAL", "K"), "1");
    EXPECT_EQ(read_or("[GLOBAL ]\r\nK=1\r\n", "GLOBAL", "K"), "<default>");
    EXPECT_EQ(read_or("[ GLOBAL]\r\nK=1\r\n", "GLOBAL", "K"), "<default>");
    EXPECT_EQ(read_or("x [GLOBAL]\r\nK=1\r\n", "GLOBAL", "K"), "<default>");
    // The first matching header wins.
    EXPECT_EQ(read_or("[A]\r\nK=1\r\n[a]\r\nK=2\r\n", "A", "K"), "1");
}

TEST(ProfileLookup, KeyLinesAndValues) {
    EXPECT_EQ(read_or("[S]\r\n  KEY \t=\t value with blanks  \t\r\n", "S", "key"),
              "value with blanks");
    EXPECT_EQ(read_or("[S]\nKEY=lf only\n", "S", "KEY"), "lf only");
    EXPECT_EQ(read_or("[S]\r\nKEY=\"  quoted  \"\r\n", "S", "KEY"), "  quoted  ");
    EXPECT_EQ(read_or("[S]\r\nKEY=\"\r\n", "S", "KEY"), "\"");
    EXPECT_EQ(read_or("[S]\r\nKEY=\"\"\r\n", "S", "KEY"), "");
    EXPECT_EQ(read_or("[S]\r\nKEY=\r\n", "S", "KEY"), "");
    EXPECT_EQ(read_or("[S]\r\nKEY=last line without end", "S", "KEY"), "last line without end");
    // A longer key name is another key; a name without '=' is skipped.
    EXPECT_EQ(read_or("[S]\r\nPASSWORD=x\r\nPASS\r\nPASS=y\r\n", "S", "PASS"), "y");
    EXPECT_EQ(read_or("[S]\r\nPASSWORD=x\r\n", "S", "PASS"), "<default>");
}

TEST(ProfileLookup, KeysStayInsideTheirSection) {
    const std::string text = "[A]\r\nX=1\r\n[B]\r\nK=2\r\n";
    EXPECT_EQ(read_or(text, "A", "K"), "<default>");
    EXPECT_EQ(read_or(text, "B", "K"), "2");
    // Any '[' that begins a line ends the section, valid header or not.
    EXPECT_EQ(read_or("[A]\r\n[junk\r\nK=1\r\n", "A", "K"), "<default>");
    EXPECT_EQ(read_or("[A]\r\nNOTE=x [y]\r\nK=1\r\n", "A", "K"), "1");
}

TEST(ProfileLookup, TinyAndTruncatedData) {
    for (const char* t : {"", "[", "[A]", "K=1"}) EXPECT_EQ(read_or(t, "A", "K"), "<default>");
    EXPECT_EQ(read_or("[S]\r\nK=abcdef\r\n", "S", "K", "", 3), "abc");
    // Cut first, then unquoted: the closing quote was cut off.
    EXPECT_EQ(read_or("[S]\r\nK=\"abcdef\"\r\n", "S", "K", "", 4), "\"abc");
    // A zero byte ends the data.
    EXPECT_EQ(read_or(std::string("[S]\r\nA=1\r\n\0B=2\r\n", 16), "S", "B"), "<default>");
}

TEST(ProfileEdit, ReplaceKeepsSpellingAndPosition) {
    std::string text = "[s]\r\n  pass\t=old value  \r\nNEXT=1\r\n";
    EXPECT_TRUE(set(text, "S", "PASS", "  new  "));
    EXPECT_EQ(text, "[s]\r\n  pass\t= new\r\nNEXT=1\r\n");
    std::string spaced = "[S]\r\nK = x\r\n";
    EXPECT_TRUE(set(spaced, "S", "K", "y"));
    EXPECT_EQ(spaced, "[S]\r\nK = y\r\n");
}

TEST(ProfileEdit, SameValueLeavesTheTextUntouched) {
    std::string text = "[S]\r\nK=\tsame   \r\n";
    const std::string before = text;
    EXPECT_FALSE(set(text, "s", "k", " same"));
    EXPECT_EQ(text, before);
    // Case counts in the comparison.
    EXPECT_TRUE(set(text, "S", "K", "SAME"));
    EXPECT_EQ(text, "[S]\r\nK= SAME\r\n");
}

TEST(ProfileEdit, DeleteKeyJoinsLeadingWhitespaceToTheNextLine) {
    std::string text = "[S]\r\n  A=1\r\nB=2\r\n";
    EXPECT_TRUE(apply_edit(text, "S", "A", std::nullopt, kServerNameLimits));
    EXPECT_EQ(text, "[S]\r\n  B=2\r\n");
    std::string last = "[S]\r\nA=1";
    EXPECT_TRUE(apply_edit(last, "S", "A", std::nullopt, kServerNameLimits));
    EXPECT_EQ(last, "[S]\r\n");
    std::string absent = "[S]\r\nA=1\r\n";
    EXPECT_FALSE(apply_edit(absent, "S", "Z", std::nullopt, kServerNameLimits));
    EXPECT_FALSE(apply_edit(absent, "T", "Z", std::nullopt, kServerNameLimits));
    EXPECT_FALSE(apply_edit(absent, "T", std::nullopt, std::nullopt, kServerNameLimits));
    EXPECT_EQ(absent, "[S]\r\nA=1\r\n");
}

TEST(ProfileEdit, InsertGoesAfterTheFirstBlockOfKeyLines) {
    std::string text = "[A]\r\nX=1\r\nY=2\r\n\r\nZ=3\r\n[B]\r\nK=1\r\n";
    EXPECT_TRUE(set(text, "A", "NEW", "v"));
    EXPECT_EQ(text, "[A]\r\nX=1\r\nY=2\r\nNEW\t\t= v\r\n\r\nZ=3\r\n[B]\r\nK=1\r\n");
    // No empty line: directly in front of the next header.
    std::string tight = "[A]\r\nX=1\r\n[B]\r\n";
    EXPECT_TRUE(set(tight, "A", "NEW", "v"));
    EXPECT_EQ(tight, "[A]\r\nX=1\r\nNEW\t\t= v\r\n[B]\r\n");
    // Last section without a final line end: a line end comes first.
    std::string open_end = "[A]\r\nX=1";
    EXPECT_TRUE(set(open_end, "A", "NEW", "v"));
    EXPECT_EQ(open_end, "[A]\r\nX=1\r\nNEW\t\t= v\r\n");
    // A '[' inside a value is no insertion point.
    std::string bracket = "[A]\r\nX=[1]\r\n";
    EXPECT_TRUE(set(bracket, "A", "NEW", "v"));
    EXPECT_EQ(bracket, "[A]\r\nX=[1]\r\nNEW\t\t= v\r\n");
}

TEST(ProfileEdit, KeyLineSeparatorsFollowTheNameLength) {
    using kesto::profile::key_line;
    EXPECT_EQ(key_line("A", "1", kServerNameLimits), "A\t\t= 1\r\n");
    EXPECT_EQ(key_line("SEVEN_7", "1", kServerNameLimits), "SEVEN_7\t\t= 1\r\n");
    EXPECT_EQ(key_line("EIGHT_88", "1", kServerNameLimits), "EIGHT_88\t= 1\r\n");
    EXPECT_EQ(key_line("FIFTEEN_CHARS_X", "1", kServerNameLimits), "FIFTEEN_CHARS_X\t= 1\r\n");
    EXPECT_EQ(key_line("SIXTEEN_CHARS_XX", "", kServerNameLimits), "SIXTEEN_CHARS_XX= \r\n");
    EXPECT_EQ(key_line("\a\b lower ", " v ", kServerNameLimits), "LOWER\t\t= v\r\n");
    EXPECT_EQ(key_line(std::string(200, 'k'), "v", kServerNameLimits),
              std::string(123, 'K') + "= v\r\n");
}

TEST(ProfileEdit, BannersAreSeventyNineCharacters) {
    using kesto::profile::banner_line;
    EXPECT_EQ(banner_line("IniFileVersion", kServerNameLimits),
              "## INIFILEVERSION " + std::string(61, '#'));
    EXPECT_EQ(banner_line(std::string(75, 'n'), kServerNameLimits),
              "## " + std::string(75, 'N') + " ");
    EXPECT_EQ(banner_line(std::string(100, 'n'), kServerNameLimits), "## " + std::string(76, 'N'));
}
