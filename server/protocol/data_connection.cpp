#include "server/protocol/data_connection.h"

#include <algorithm>
#include <cstdio>

#include "server/protocol/commands.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

const char* stage_name(platform::DataStage stage) {
    switch (stage) {
        case platform::DataStage::create:
            return "create";
        case platform::DataStage::bind:
            return "bind";
        case platform::DataStage::sockname:
            return "sockname";
        case platform::DataStage::listen:
            return "listen";
        default:
            return "connect";
    }
}

// "(ODS bind) Socket send error: 98". The tags and texts stay as they are: operators'
// log filters match them.
void log_data_failure(const Session& s, const char* tag, const char* text,
                      const platform::DataResult& r) {
    char line[96];
    std::snprintf(line, sizeof line, "(%s %s) %s %i", tag, stage_name(r.stage), text, r.error);
    s.context.log.post(LogLevel::informational, line);
}

int data_timeout_ms(const Session& s) {
    return s.context.config.data_timeout_seconds * 1000;
}

bool accept_passive(Session& s, platform::UniqueFd& data) {
    const platform::DataResult r = platform::accept_from(s.channel.passive_socket.get(),
                                                         s.peer.address, data_timeout_ms(s), data);
    if (r.stage == platform::DataStage::timed_out) leave_passive_mode(s);
    // Each PASV serves one connection: the listening socket is not needed any more.
    if (r.stage == platform::DataStage::ok) s.channel.passive_socket.reset();
    return r.stage == platform::DataStage::ok;
}

bool connect_active(Session& s, platform::UniqueFd& data) {
    const std::uint16_t control_port = s.context.config.port;
    const platform::Endpoint local{
        s.context.config.bind_address,
        static_cast<std::uint16_t>(control_port > 0 ? control_port - 1 : 0)};
    // Always the client's own address, whatever PORT said: no bounce attacks.
    const platform::Endpoint remote{s.peer.address, s.channel.data_port};
    const platform::DataResult r = platform::connect_data(local, remote, data_timeout_ms(s), data);
    if (r.stage != platform::DataStage::ok) log_data_failure(s, "ODS", "Socket send error:", r);
    return r.stage == platform::DataStage::ok;
}

}  // namespace

platform::IpAddress passive_address(const Session& s) {
    const platform::Ipv4Address configured = s.context.config.bind_address;
    return configured.is_any() ? s.control.local_address() : configured;
}

bool open_data_connection(Session& s, DataConnection& data) {
    platform::UniqueFd socket;
    const bool opened =
        s.channel.passive_pending ? accept_passive(s, socket) : connect_active(s, socket);
    if (!opened) {
        s.reply(kCannotOpenData);
        return false;
    }
    data = std::make_unique<platform::SocketConnection>(std::move(socket));
    // A listing's reader that stops reading must not hold the session.
    data->set_send_limit(s.context.config.idle_timeout_seconds * 1000);
    return true;
}

void close_data_connection(Session& s, DataConnection& data) {
    data.reset();
    leave_passive_mode(s);
}

void leave_passive_mode(Session& s) {
    s.channel.passive_socket.reset();
    s.channel.passive_pending = false;
}

void cmd_port(Session& s, std::string_view argument) {
    if (std::count(argument.begin(), argument.end(), ',') != 5) {
        s.reply(kBadParameters);
        return;
    }
    int n[6];
    const std::string text(argument);
    if (std::sscanf(text.c_str(), "%d,%d,%d,%d,%d,%d", &n[0], &n[1], &n[2], &n[3], &n[4], &n[5]) !=
        6) {
        s.reply(kBadParameters);
        return;
    }
    // The host part is checked for form only: data goes to the client's own address.
    s.channel.data_port = static_cast<std::uint16_t>(
        (static_cast<unsigned>(n[4]) * 256u + static_cast<unsigned>(n[5])) & 0xFFFFu);
    // The client now expects the server to connect: a pending passive socket is dropped.
    leave_passive_mode(s);
    s.reply(kCommandOkay);
}

void cmd_pasv(Session& s, std::string_view rest) {
    if (!rest.empty()) {
        s.reply(kBadParameters);
        return;
    }
    leave_passive_mode(s);
    std::uint16_t port = 0;
    // Only where the client reached the server: not on every interface of the machine.
    const platform::DataResult r = platform::listen_passive(
        s.control.local_address(), s.context.config.passive_ports, s.channel.passive_socket, port);
    if (r.stage != platform::DataStage::ok) {
        if (r.stage != platform::DataStage::create)
            log_data_failure(s, "CCS", "Socket receive error:", r);
        s.reply(kCannotOpenData);
        return;
    }
    const auto& a = passive_address(s).v4().octets;
    char text[80];
    std::snprintf(text, sizeof text, "Entering Passive Mode (%d,%d,%d,%d,%d,%d).", a[0], a[1], a[2],
                  a[3], port >> 8, port & 0xFF);
    s.reply(227, text);
    s.channel.passive_port = port;
    s.channel.passive_pending = true;
}

}  // namespace kesto::server

namespace kesto::server {

void cmd_epsv(Session& s, std::string_view) {
    s.reply(kNotImplemented);
}

void cmd_eprt(Session& s, std::string_view) {
    s.reply(kNotImplemented);
}

}  // namespace kesto::server
