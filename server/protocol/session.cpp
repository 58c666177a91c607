#include "server/protocol/session.h"

#include <string>

#include "platform/net.h"
#include "server/protocol/control_channel.h"

namespace kesto::server {

namespace {

constexpr const char* kGreeting = "KESTO FTP Server v2.02";
constexpr const char* kCopyright = " Copyright (C) the KESTO FTP developers.";

}  // namespace

void run_session(ServerContext& context, ClientSlot& slot) {
    platform::UniqueFd control = std::move(slot.control);
    const std::string tag = slot.address_text;
    platform::configure_control_socket(control.get());
    const LogPoster& log = context.log;
    bool running = send_reply(log, tag, control.get(), 220, true, kGreeting) == 0 &&
                   send_reply(log, tag, control.get(), 220, false, kCopyright) == 0;
    CommandReader reader;
    std::string line;
    while (running) {
        const ReadStatus status = reader.read_command_line(log, control.get(), line, -1);
        if (status != kLineRead && status != kLineTooLong) break;
        if (status == kLineRead && (line.rfind("QUIT", 0) == 0 || line.rfind("quit", 0) == 0)) {
            (void)send_reply(log, tag, control.get(), 221, false,
                             "Service closing control connection.");
            break;
        }
        running = send_reply(log, tag, control.get(), 500, false,
                             "Syntax error, command unrecognized.") == 0;
    }
    log.post(LogLevel::informational, "(" + tag + ") Client is terminated.");
    // Free the slot before the close, so a client that sees the close finds it free.
    slot.peer = {};
    std::fill(std::begin(slot.address_text), std::end(slot.address_text), '\0');
    slot.in_use.store(0, std::memory_order_release);
    control.reset();
}

}  // namespace kesto::server
