// MAX_CLIENTS_PER_ADDRESS over the slot table: only slots in use count, and only those
// of the same address (an IPv6 address is never an IPv4 one with the same bytes).
#include <gtest/gtest.h>

#include "server/protocol/address_sessions.h"

using namespace kesto;
using server::address_at_limit;
using server::sessions_from;

TEST(AddressSessions, CountsSlotsInUseOfTheSameAddress) {
    server::ClientSlots slots;
    const platform::IpAddress local = platform::Ipv4Address{{127, 0, 0, 1}};
    const platform::IpAddress other = platform::Ipv4Address{{127, 0, 0, 2}};
    std::uint8_t v6_bytes[16] = {127, 0, 0, 1};
    const platform::IpAddress v6 = platform::IpAddress::from_v6(v6_bytes);
    const auto fill = [&](std::size_t i, const platform::IpAddress& address, int in_use) {
        slots[i].peer.address = address;
        slots[i].in_use.store(in_use);
    };
    fill(0, local, 1);
    fill(5, local, 1);
    fill(9, local, 0);  // a freed slot keeps its peer until it is filled again
    fill(31, other, 1);
    fill(12, v6, 1);

    EXPECT_EQ(sessions_from(slots, local), 2);
    EXPECT_EQ(sessions_from(slots, other), 1);
    EXPECT_EQ(sessions_from(slots, v6), 1);
    EXPECT_TRUE(address_at_limit(slots, local, 2));
    EXPECT_TRUE(address_at_limit(slots, local, 1));
    EXPECT_FALSE(address_at_limit(slots, local, 3));
    EXPECT_FALSE(address_at_limit(slots, local, 0));  // no limit
    EXPECT_FALSE(address_at_limit(slots, platform::Ipv4Address{{10, 0, 0, 1}}, 1));
}
