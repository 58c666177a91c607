#include "manager/account_list.h"

#include <gtest/gtest.h>

#include <string>

namespace kesto::manager {
namespace {

TEST(AccountList, ListsNamesInOrderSkippingEmptyTokens) {
    EXPECT_EQ(listed_names("  bob  ,, alice,"), (std::vector<std::string>{"bob", "alice"}));
    EXPECT_EQ(listed_names(""), std::vector<std::string>{});
    EXPECT_EQ(listed_names(std::string(40, 'x')), std::vector<std::string>{std::string(32, 'x')});
    EXPECT_TRUE(lists_name("  bob  ,, alice,", "ALICE"));
    EXPECT_FALSE(lists_name("bob,alice", "ali"));
    EXPECT_FALSE(lists_name("bob,,alice", ""));
}

TEST(AccountList, RebuildsWithoutANameAndAppends) {
    EXPECT_EQ(users_without("bob, Alice ,carl", "alice"), "bob,carl");
    EXPECT_EQ(users_without("alice,bob", " ALICE "), "bob");
    EXPECT_EQ(users_without("bob,,carl", "carl"), "bob,") << "empty tokens are kept";
    EXPECT_EQ(users_with("", "bob"), "bob");
    EXPECT_EQ(users_with("bob", "carl"), "bob,carl");
    EXPECT_TRUE(users_fit(std::string(4095, 'a')));
    EXPECT_FALSE(users_fit(std::string(4096, 'a')));
}

}  // namespace
}  // namespace kesto::manager

#include "manager/tinted_picture.h"

namespace kesto::manager {
namespace {

TEST(TintedPicture, HlsRoundTripsAndTintsTowardsTheButtonColour) {
    for (QRgb colour :
         {qRgb(0, 0, 238), qRgb(85, 26, 139), qRgb(198, 198, 198), qRgb(255, 128, 0)}) {
        const QRgb back = from_hls(to_hls(colour));
        EXPECT_NEAR(qRed(back), qRed(colour), 3);
        EXPECT_NEAR(qGreen(back), qGreen(colour), 3);
        EXPECT_NEAR(qBlue(back), qBlue(colour), 3);
    }
    EXPECT_EQ(to_hls(qRgb(255, 0, 0)).hue, 0);
    EXPECT_EQ(to_hls(qRgb(0, 0, 255)).hue, 170);  // 240 degrees

    QImage picture(3, 1, QImage::Format_ARGB32);
    picture.setPixel(0, 0, qRgba(198, 198, 198, 255));  // the reference grey
    picture.setPixel(1, 0, 0);                          // transparent: kept
    picture.setPixel(2, 0, qRgba(255, 0, 0, 255));      // pure red: kept
    const QImage out = tinted(picture, QColor(40, 60, 200));
    const Hls face = to_hls(qRgb(40, 60, 200));
    const Hls grey = to_hls(out.pixel(0, 0));
    EXPECT_NEAR(grey.lightness, face.lightness, 2)
        << "the reference grey takes the face's lightness";
    EXPECT_NEAR(grey.hue, face.hue, 2);
    EXPECT_EQ(out.pixel(1, 0), 0U);
    EXPECT_EQ(out.pixel(2, 0), qRgba(255, 0, 0, 255));
}

}  // namespace
}  // namespace kesto::manager
