#include "server/protocol/data_connection.h"

#include <algorithm>
#include <cstdio>

#include "server/formats/extended_address.h"
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
    const ServerConfig& config = s.context.config;
    const std::uint16_t control_port = config.port;
    const platform::IpAddress from =
        s.peer.address.v6 ? config.bind_address6.value_or(platform::IpAddress::any6())
                          : platform::IpAddress(config.bind_address);
    const platform::Endpoint local{
        from, static_cast<std::uint16_t>(control_port > 0 ? control_port - 1 : 0)};
    // Always the client's own address, whatever PORT said: no bounce attacks.
    const platform::Endpoint remote{s.peer.address, s.channel.data_port};
    const platform::DataResult r = platform::connect_data(local, remote, data_timeout_ms(s), data);
    if (r.stage != platform::DataStage::ok) log_data_failure(s, "ODS", "Socket send error:", r);
    return r.stage == platform::DataStage::ok;
}

}  // namespace

platform::IpAddress passive_address(const Session& s) {
    const ServerConfig& config = s.context.config;
    if (config.passive_address) return *config.passive_address;
    const platform::Ipv4Address configured = config.bind_address;
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

namespace {

// PORT and PASV carry IPv4 addresses only; after EPSV ALL the client promised to use
// EPSV alone. False after answering.
bool takes_classic_command(Session& s) {
    if (s.channel.extended_only) {
        s.reply(kBadSequence);
        return false;
    }
    if (s.peer.address.v6) {
        s.reply(kUseFamily2);
        return false;
    }
    return true;
}

// Sets the next data connection to go to the client's `port`.
void choose_active(Session& s, std::uint16_t port) {
    s.channel.data_port = port;
    // The client now expects the server to connect: a pending passive socket is dropped.
    leave_passive_mode(s);
    s.reply(kCommandOkay);
}

// A passive socket on the address the client reached, in the configured port range.
// False after answering 425.
bool open_passive_socket(Session& s) {
    leave_passive_mode(s);
    std::uint16_t port = 0;
    // Only where the client reached the server: not on every interface of the machine.
    const platform::DataResult r = platform::listen_passive(
        s.control.local_address(), s.context.config.passive_ports, s.channel.passive_socket, port);
    if (r.stage != platform::DataStage::ok) {
        if (r.stage != platform::DataStage::create)
            log_data_failure(s, "CCS", "Socket receive error:", r);
        s.reply(kCannotOpenData);
        return false;
    }
    s.channel.passive_port = port;
    return true;
}

}  // namespace

void cmd_port(Session& s, std::string_view argument) {
    if (!takes_classic_command(s)) return;
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
    choose_active(
        s, static_cast<std::uint16_t>(
               (static_cast<unsigned>(n[4]) * 256u + static_cast<unsigned>(n[5])) & 0xFFFFu));
}

void cmd_pasv(Session& s, std::string_view rest) {
    if (!rest.empty()) {
        s.reply(kBadParameters);
        return;
    }
    if (!takes_classic_command(s) || !open_passive_socket(s)) return;
    const auto& a = passive_address(s).v4().octets;
    const std::uint16_t port = s.channel.passive_port;
    char text[80];
    std::snprintf(text, sizeof text, "Entering Passive Mode (%d,%d,%d,%d,%d,%d).", a[0], a[1], a[2],
                  a[3], port >> 8, port & 0xFF);
    s.reply(227, text);
    s.channel.passive_pending = true;
}

void cmd_epsv(Session& s, std::string_view rest) {
    if (rest == " ALL") {
        s.channel.extended_only = true;
        s.reply(kCommandOkay);
        return;
    }
    const std::string_view family = s.peer.address.v6 ? " 2" : " 1";
    if (!rest.empty() && rest != family) {
        s.reply(s.peer.address.v6 ? kUseFamily2 : kUseFamily1);
        return;
    }
    if (!open_passive_socket(s)) return;
    const std::string text =
        "Entering Extended Passive Mode (|||" + std::to_string(s.channel.passive_port) + "|)";
    s.reply(229, text);
    s.channel.passive_pending = true;
}

void cmd_eprt(Session& s, std::string_view argument) {
    if (s.channel.extended_only) {
        s.reply(kBadSequence);
        return;
    }
    const std::optional<ExtendedAddress> target = parse_extended_address(argument);
    if (!target) {
        s.reply(kBadParameters);
        return;
    }
    if (!target->family_known || target->endpoint.address.v6 != s.peer.address.v6) {
        s.reply(s.peer.address.v6 ? kUseFamily2 : kUseFamily1);
        return;
    }
    // Data goes only to the client itself: no third host (FTP bounce). The unspecified
    // address ("::", which lftp sends) names no host and means the client too.
    if (!(target->endpoint.address == s.peer.address) && !target->endpoint.address.is_any()) {
        s.reply(kNotForParameter);
        return;
    }
    choose_active(s, target->endpoint.port);
}

}  // namespace kesto::server
