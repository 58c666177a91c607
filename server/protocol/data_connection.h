#pragma once
// The data connections of a session: PORT and PASV choose how the next one is made;
// a transfer command opens it, uses it once and closes it.

#include <memory>

#include "platform/connection.h"
#include "platform/net.h"
#include "server/protocol/session.h"

namespace kesto::server {

// One data connection, open for one transfer or listing.
using DataConnection = std::unique_ptr<platform::Connection>;

// The address PASV and STAT report: the configured one, else the local address of the
// control connection (an address the client can reach).
[[nodiscard]] platform::IpAddress passive_address(const Session& s);

// Accepts the client's connection on the passive socket, or connects to the client's
// own address at `data_port`. False after answering 425 "Can't open data connection.".
[[nodiscard]] bool open_data_connection(Session& s, DataConnection& data);

// Closes the data connection after a transfer and leaves passive mode.
void close_data_connection(Session& s, DataConnection& data);

// Closes a pending passive socket and leaves passive mode.
void leave_passive_mode(Session& s);

}  // namespace kesto::server
