#include "server/protocol/address_sessions.h"

namespace kesto::server {

int sessions_from(const ClientSlots& slots, const platform::IpAddress& address) {
    int count = 0;
    for (const ClientSlot& slot : slots) {
        if (slot.in_use.load(std::memory_order_acquire) != 0 && slot.peer.address == address)
            ++count;
    }
    return count;
}

bool address_at_limit(const ClientSlots& slots, const platform::IpAddress& address, int limit) {
    return limit > 0 && sessions_from(slots, address) >= limit;
}

}  // namespace kesto::server
