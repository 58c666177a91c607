#pragma once
// What every session and the listener share: read-only after start-up, except the
// slot table, whose records are handed over by their in-use flags.

#include <array>
#include <atomic>
#include <string>

#include "platform/net.h"
#include "platform/unique_fd.h"
#include "server/config/server_config.h"
#include "server/log/event_log.h"
#include "server/protocol/limits.h"

namespace kesto::server {

// One accepted connection. The listener fills a slot whose flag is 0, sets the flag
// and starts the session; the session clears the slot as its last step.
struct ClientSlot {
    std::atomic<int> in_use{0};
    platform::UniqueFd control;
    platform::Endpoint peer;
    char address_text[kAddressTextBytes] = {};
};

using ClientSlots = std::array<ClientSlot, kMaxClients>;

struct ServerContext {
    const ServerConfig& config;
    const LogPoster& log;
    std::string account_file;  // accounts are always read from the program folder's cfg/
    ClientSlots& slots;
};

}  // namespace kesto::server
