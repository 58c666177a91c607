#pragma once
// One FTP session: the body of the thread the listener starts for a connection.

#include "server/protocol/server_context.h"

namespace kesto::server {

// Serves the connection in `slot` until the client quits or the connection fails,
// then closes it and frees the slot.
void run_session(ServerContext& context, ClientSlot& slot);

}  // namespace kesto::server
