#include "common/text_helpers.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>

namespace kesto::common {
namespace {

TEST(CopyText, BoundedAndAlwaysTerminated) {
    char buffer[4] = {'x', 'x', 'x', 'x'};
    EXPECT_EQ(copy_text(buffer, "abcdef", sizeof buffer), 3U);
    EXPECT_STREQ(buffer, "abc");
    EXPECT_EQ(copy_text(buffer, "ab", sizeof buffer), 2U);
    EXPECT_STREQ(buffer, "ab");
    EXPECT_EQ(copy_text(buffer, nullptr, sizeof buffer), 0U);
    EXPECT_STREQ(buffer, "");
    buffer[0] = 'x';
    EXPECT_EQ(copy_text(buffer, "abc", 0), 0U);
    EXPECT_EQ(buffer[0], 'x');  // size 0 writes nothing
}

TEST(Trim, StartAndEndSetsDiffer) {
    EXPECT_EQ(trimmed(" \a\b\t\r\n\v\fname \t\r\n\v\f"), "name");
    // BS and BEL count as blank only at the start.
    EXPECT_EQ(trimmed("name\a"), "name\a");
    EXPECT_EQ(trimmed("name\b "), "name\b");
    EXPECT_EQ(trimmed(" \t "), "");
    std::string text = "  in place  ";
    trim(text);
    EXPECT_EQ(text, "in place");
}

TEST(FindText, IgnoresAsciiCaseOnly) {
    EXPECT_EQ(find_text("Hello World", "WORLD"), 6U);
    EXPECT_EQ(find_text("aAa", "AA"), 0U);
    EXPECT_EQ(find_text("Hello", "hello!"), std::nullopt);
    EXPECT_EQ(find_text("Hello", ""), std::nullopt);
    EXPECT_EQ(find_text("\xC3\xA4", "\xC3\x84"), std::nullopt);  // a-umlaut is not folded
}

TEST(PathParts, FolderAndFileName) {
    EXPECT_EQ(folder_of("\"/opt/kesto/KestoFTP\""), "/opt/kesto");
    EXPECT_EQ(folder_of("/KestoFTP"), "/");
    EXPECT_EQ(folder_of("KestoFTP"), "");
    EXPECT_EQ(file_name_of("\"/opt/kesto/KestoFTP\""), "KestoFTP");
    EXPECT_EQ(file_name_of("/opt/kesto/"), "");
    EXPECT_EQ(file_name_of("\"KestoFTP\""), "KestoFTP");
}

TEST(ProgramArguments, TextAfterTheProgramsName) {
    EXPECT_EQ(program_arguments("\"/opt/kestoftp/KestoFTP\"  -x y", "kestoftp"), "-x y");
    // The folder of the same name and an argument that contains it are passed over.
    EXPECT_EQ(
        program_arguments("/opt/kestoftp/KestoFTP /opt/kestoftp/cfg/KestoFTP.ini", "KestoFTP"),
        "/opt/kestoftp/cfg/KestoFTP.ini");
    EXPECT_EQ(program_arguments("/usr/bin/KestoFTP", "KestoFTP"), "");
    EXPECT_EQ(program_arguments("/usr/bin/other -x", "KestoFTP"), "");
}

TEST(Fill, PlaceholdersAndEverythingElse) {
    const std::string name = "demo";
    EXPECT_EQ(fill("%s!\n\n%s", {"Cannot create the folder", name}),
              "Cannot create the folder!\n\ndemo");
    EXPECT_EQ(fill("%d %u %i", {-5, 7U, std::int64_t{1} << 40}), "-5 7 1099511627776");
    EXPECT_EQ(fill("%u", {UINT64_MAX}), "18446744073709551615");
    EXPECT_EQ(fill("100%% %s", {"done"}), "100% done");
    EXPECT_EQ(fill("%n%x%5s%p %", {"unused"}), "%n%x%5s%p %");
    EXPECT_EQ(fill("[%s][%d]", {"only"}), "[only][]");
    EXPECT_EQ(fill("%s", {"a", "b", 3}), "a");
    EXPECT_EQ(fill("%d is %s", {"text", 42}), "text is 42");  // swapped by a translation
    EXPECT_EQ(fill("%s", {static_cast<const char*>(nullptr)}), "");
}

}  // namespace
}  // namespace kesto::common
