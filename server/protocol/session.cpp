#include "server/protocol/session.h"

#include <memory>
#include <string>

#include "platform/net.h"
#include "server/protocol/command_table.h"
#include "server/protocol/control_channel.h"

namespace kesto::server {

namespace {

constexpr const char* kCopyright = " Copyright (C) the KESTO FTP developers.";

// Passwords never reach the log: every line whose first word begins with PASS is
// masked, also where a tab, a colon or nothing separates the password from it.
std::string traced(const std::string& line) {
    return line.starts_with("PASS") ? std::string("PASS ****") : line;
}

int idle_timeout_ms(const ServerConfig& config) {
    return config.idle_timeout_seconds > 0 ? config.idle_timeout_seconds * 1000 : -1;
}

// The wait for a command line and each send: a shorter limit until the client logs in.
int session_limit_ms(const Session& s) {
    return s.login.logged_in ? idle_timeout_ms(s.context.config)
                             : login_limit_seconds(s.context.config) * 1000;
}

bool greet(Session& s) {
    return s.reply(220, kServerName, true) && s.reply(220, kCopyright);
}

void run_command_loop(Session& s) {
    CommandReader reader;
    std::string raw;
    while (s.running) {
        const int limit_ms = session_limit_ms(s);
        s.control.set_send_limit(limit_ms);  // a login or REIN changes it
        const ReadStatus status = reader.read_command_line(s.context.log, s.control, raw, limit_ms);
        if (status == kReceiveFailed) break;
        if (status == kReadTimedOut) {
            s.log(LogLevel::informational, "Idle time-out.");
            s.reply(kServiceNotAvailable);
            break;
        }
        if (status == kLineTooLong || raw.size() > kCommandLineKept) {
            s.reply(kUnrecognized);
        } else {
            const std::string line = session_command_line(s, raw);
            if (s.context.log.wants(LogLevel::extreme))
                s.log(LogLevel::extreme, "C->S: " + traced(line));
            dispatch(s, line);
        }
        if (s.close_requested) {
            s.reply(kClosingControl);
            break;
        }
    }
}

// The peer and its text stay until the listener fills the slot again: the listener
// reads them of every slot in use (the sessions per address), so the session must not
// write them while its flag is still set.
void free_slot(ClientSlot& slot) {
    slot.in_use.store(0, std::memory_order_release);
}

}  // namespace

Session::Session(ServerContext& ctx, ClientSlot& slot, platform::Connection& connection)
    : context(ctx), peer(slot.peer), control(connection), tag(slot.address_text) {}

bool Session::reply(int code, std::string_view text, bool continued) {
    if (send_reply(context.log, tag, control, code, continued, text) == 0) return true;
    close_requested = true;
    return false;
}

bool Session::text(std::string_view text) {
    if (send_text(context.log, control, text) == 0) return true;
    close_requested = true;
    return false;
}

void Session::log(LogLevel level, const std::string& text) const {
    context.log.post(level, "(" + tag + ") " + text);
}

platform::PathScope Session::path_scope() const {
    const settings::Account& a = login.account;
    return platform::PathScope{.cwd = login.current_directory,
                               .confined = a.confined,
                               .root = login.root_real,
                               .root_folder = login.root_folder.get(),
                               .exact_case = a.desktop,
                               .root_is_slash = a.desktop && a.confined};
}

std::string Session::client_path_of(const std::string& local_path) const {
    if (!(login.account.desktop && login.account.confined)) return local_path;
    // Nothing outside the root is named: a root that did not resolve shows as "/".
    const std::string shown = platform::path_from_root(login.root_real, local_path);
    return shown.empty() ? std::string("/") : shown;
}

bool Session::resolve_path(std::string_view client_path, platform::Follow follow,
                           platform::Entry& entry) {
    if (platform::resolve_client_path(path_scope(), client_path, follow, entry) ==
        platform::PathResult::ok) {
        return true;
    }
    reply(kAccessDenied);
    return false;
}

void run_session(ServerContext& context, ClientSlot& slot) {
    platform::UniqueFd socket = std::move(slot.control);
    platform::configure_control_socket(socket.get());
    auto control = std::make_unique<platform::SocketConnection>(std::move(socket));
    {
        Session session(context, slot, *control);
        control->set_send_limit(session_limit_ms(session));
        session.running = greet(session);
        run_command_loop(session);
        session.log(LogLevel::informational, "Client is terminated.");
    }
    // Free the slot before the close, so a client that sees the close finds it free.
    free_slot(slot);
    control.reset();
}

}  // namespace kesto::server
