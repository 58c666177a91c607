// The EPRT argument: both families, any delimiter, and every malformed form refused.
#include <gtest/gtest.h>

#include "server/formats/extended_address.h"

using kesto::server::parse_extended_address;

TEST(ExtendedAddress, ReadsBothFamiliesWithAnyDelimiter) {
    const auto v4 = parse_extended_address("|1|132.235.1.2|6275|");
    ASSERT_TRUE(v4 && v4->family_known);
    EXPECT_EQ(kesto::platform::to_text(v4->endpoint.address), "132.235.1.2");
    EXPECT_EQ(v4->endpoint.port, 6275);
    const auto v6 = parse_extended_address("!2!1080::8:800:200C:417A!5282!");
    ASSERT_TRUE(v6 && v6->endpoint.address.v6);
    EXPECT_EQ(kesto::platform::to_text(v6->endpoint.address), "1080::8:800:200c:417a");
    EXPECT_EQ(v6->endpoint.port, 5282);
    const auto other = parse_extended_address("|3|x|1|");
    ASSERT_TRUE(other);
    EXPECT_FALSE(other->family_known);
}

TEST(ExtendedAddress, RefusesMalformedArguments) {
    for (const char* bad :
         {"", "|", "||||", "|1|1.2.3.4|21", "1|1.2.3.4|21|", "|1|1.2.3.4|0|", "|1|1.2.3.4|65536|",
          "|1|1.2.3|21|", "|1|1.2.3.256|21|", "|1|1.2.3.4.5|21|", "|1|::1|21|", "|2|1.2.3.4|21|",
          "|2|::1%lo|21|", "|1|1.2.3.4|21|x|", "111.2.3.4121", "|1| 1.2.3.4|21|", "|1|1.2.3.4|+21|",
          "|1|1.2.3.4|000021|"}) {
        EXPECT_FALSE(parse_extended_address(bad)) << bad;
    }
}
