#pragma once
// MAX_CLIENTS_PER_ADDRESS: the sessions one client address holds, counted over the
// slot table, so that one address cannot take all the slots.

#include "platform/net.h"
#include "server/protocol/server_context.h"

namespace kesto::server {

// The slots in use whose client is `address`. Reads a slot's peer only while its flag
// says it is in use, so it must run on the thread that fills the slots.
[[nodiscard]] int sessions_from(const ClientSlots& slots, const platform::IpAddress& address);

// True when `address` already holds `limit` sessions (0: no limit), so one more is refused.
[[nodiscard]] bool address_at_limit(const ClientSlots& slots, const platform::IpAddress& address,
                                    int limit);

}  // namespace kesto::server
