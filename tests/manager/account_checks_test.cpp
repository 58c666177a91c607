// What the editor's window tests do not reach: byte counts of non-ASCII names, every
// kind of character a section name cannot hold, the folder forms, and a change of
// letter case that leaves an over-full list alone. The window tests cover the rest.
#include "manager/account_checks.h"

#include <gtest/gtest.h>

#include <string>

namespace kesto::manager {
namespace {

TEST(AccountChecks, FolderIsStoredInItsNormalForm) {
    EXPECT_EQ(cleaned_folder("\\srv\\\\ftp\\"), "/srv/ftp");
    EXPECT_EQ(cleaned_folder(" \"/srv/ \" /"), "/srv") << "blanks, quotes and '/' mixed at the end";
    EXPECT_EQ(cleaned_folder("\r\n/srv/ftp/\r\n"), "/srv/ftp") << "a pasted line";
    EXPECT_EQ(cleaned_folder("//"), "/");
    EXPECT_EQ(cleaned_folder(" \"\" "), "");
    EXPECT_EQ(check_folder("/" + std::string(1023, 'f')), Refusal::none);
}

TEST(AccountChecks, NameLengthCountsTheBytesTheFileHolds) {
    std::string umlauts;
    for (int i = 0; i < 16; ++i) umlauts += "\xC3\xBC";
    EXPECT_EQ(check_name(umlauts, "bob", ""), Refusal::none);
    EXPECT_EQ(check_name(umlauts + "\xC3\xBC", "bob", ""), Refusal::name_too_long);
}

TEST(AccountChecks, NamesTheFileCannotHoldAsASectionAreRefused) {
    for (const char* name : {"a]b", "[ab", "a\tb", "a\rb", "a\x7f"}) {
        EXPECT_EQ(check_name(name, "", ""), Refusal::name_not_a_section_name) << name;
    }
    EXPECT_EQ(check_name("mill 3 (left)", "", ""), Refusal::none);
}

TEST(AccountChecks, AChangeOfLetterCaseLeavesTheListAsItIs) {
    EXPECT_EQ(check_name("BOB", std::string(4095, 'x') + ",bob", "bob"), Refusal::none);
}

}  // namespace
}  // namespace kesto::manager
