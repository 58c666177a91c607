// Whom a client of the control endpoint believes, and whom the server lets stop it.
#include "platform/control_endpoint.h"

#include <gtest/gtest.h>

using kesto::platform::peer_is_trusted;

TEST(EndpointTrust, OwnUserAndRootOnly) {
    EXPECT_TRUE(peer_is_trusted(1000, 1000));
    EXPECT_TRUE(peer_is_trusted(0, 1000));  // root may stop anyone's server
    EXPECT_FALSE(peer_is_trusted(1001, 1000));
    EXPECT_FALSE(peer_is_trusted(65534, 1000));
    // A server run by root believes no ordinary user's process.
    EXPECT_TRUE(peer_is_trusted(0, 0));
    EXPECT_FALSE(peer_is_trusted(1000, 0));
}
