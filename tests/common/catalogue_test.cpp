#include "common/catalogue.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>

namespace kesto::common {
namespace {

std::map<std::uint32_t, std::string> sample_texts() {
    return {{311, "us"}, {321, "Error"}, {677, "***"}, {9278, "Remove the account %s?"}};
}

void put_u32(std::string& file, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) file[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

TEST(Catalogue, RoundTripKeepsEveryTextAndTheCount) {
    Catalogue catalogue;
    ASSERT_TRUE(Catalogue::parse(encode_catalogue(sample_texts()), catalogue));
    EXPECT_EQ(catalogue.size(), 9279U);
    EXPECT_STREQ(catalogue.text(321), "Error");
    EXPECT_STREQ(catalogue.text(9278), "Remove the account %s?");
    EXPECT_STREQ(catalogue.text(322), "");   // a number without a text
    EXPECT_STREQ(catalogue.text(9279), "");  // at N
    EXPECT_STREQ(catalogue.text(-1), "");
    EXPECT_EQ(catalogue.table()->count, 9279U);
    EXPECT_STREQ(catalogue.table()->texts[311], "us");
}

TEST(Catalogue, TextBlockIsNotStoredInTheClear) {
    const std::string file = encode_catalogue(sample_texts());
    EXPECT_EQ(file.find("Remove the account"), std::string::npos);
}

TEST(Catalogue, RefusesDamagedFiles) {
    const std::string good = encode_catalogue(sample_texts());
    const std::size_t offsets = 8;
    const std::size_t block = offsets + 4 * 9279;
    Catalogue out;

    EXPECT_FALSE(Catalogue::parse(good.substr(0, good.size() - 1), out)) << "truncated block";
    EXPECT_FALSE(Catalogue::parse(good + "x", out)) << "bytes beyond the block";
    EXPECT_FALSE(Catalogue::parse(good.substr(0, 7), out)) << "truncated header";

    std::string outside = good;
    put_u32(outside, offsets + 4 * 321, static_cast<std::uint32_t>(good.size() - block));
    EXPECT_FALSE(Catalogue::parse(outside, out)) << "offset at the block's end";

    std::string unterminated = good;
    unterminated.back() = static_cast<char>('x' ^ kCatalogueKey);  // the last text loses its zero
    EXPECT_FALSE(Catalogue::parse(unterminated, out));

    std::string huge = good;
    put_u32(huge, 0, 0xFFFFFFFFU);
    EXPECT_FALSE(Catalogue::parse(huge, out)) << "entry count beyond the file";

    auto no_marker = sample_texts();
    no_marker[677] = "**";
    EXPECT_FALSE(Catalogue::parse(encode_catalogue(no_marker), out));
    EXPECT_FALSE(Catalogue::parse(encode_catalogue({{676, "***"}}), out)) << "677 entries only";
    EXPECT_TRUE(Catalogue::parse(encode_catalogue({{677, "***"}}), out)) << "678 entries";
    out = Catalogue();
    EXPECT_EQ(out.size(), 0U) << "a refused file installs nothing";
}

// The process catalogue is process-wide state that other tests fill, so this runs in a
// freshly started copy of the test program (the "threadsafe" death-test style re-executes
// it rather than forking), starting empty; it exits 0 when every check held.
[[noreturn]] void install_into_empty_process_catalogue() {
    int failed = 0;
    const auto check = [&](bool ok, const char* what) {
        if (!ok) std::fprintf(stderr, "failed: %s\n", what), ++failed;
    };
    Catalogue source;
    check(Catalogue::parse(encode_catalogue(sample_texts()), source), "parse");
    const char* no_marker_texts[700] = {};
    const KestoCatalogue unmarked{700, no_marker_texts};
    check(!install_catalogue(nullptr), "a missing table is refused");
    check(!install_catalogue(&unmarked), "a table without the marker is refused");
    check(*message(321) == '\0', "nothing installed yet");
    check(install_catalogue(source.table()), "a marked table is installed");
    check(std::strcmp(message(9278), "Remove the account %s?") == 0, "its texts are copied");
    check(process_catalogue().size() == 9279U, "its count is kept");
    check(install_catalogue(&unmarked), "later calls test the installed table");
    check(*message(100000) == '\0', "a number beyond the table is empty");
    std::exit(failed);
}

TEST(Catalogue, InstalledTableIsCopiedOnceAndOnlyWithTheMarker) {
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    EXPECT_EXIT(install_into_empty_process_catalogue(), ::testing::ExitedWithCode(0), "");
}

}  // namespace
}  // namespace kesto::common
