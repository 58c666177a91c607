#include "common/catalogue.h"

#include <gtest/gtest.h>

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

TEST(Catalogue, InstalledTableIsCopiedOnceAndOnlyWithTheMarker) {
    Catalogue source;
    ASSERT_TRUE(Catalogue::parse(encode_catalogue(sample_texts()), source));
    const char* no_marker_texts[700] = {};
    const KestoCatalogue unmarked{700, no_marker_texts};
    EXPECT_FALSE(install_catalogue(nullptr));
    EXPECT_FALSE(install_catalogue(&unmarked));
    EXPECT_STREQ(message(321), "");

    EXPECT_TRUE(install_catalogue(source.table()));
    EXPECT_STREQ(message(9278), "Remove the account %s?");
    EXPECT_EQ(process_catalogue().size(), 9279U);
    EXPECT_TRUE(install_catalogue(&unmarked)) << "later calls test the installed table";
    EXPECT_STREQ(message(100000), "");
}

}  // namespace
}  // namespace kesto::common
