#include "server/protocol/control_channel.h"

#include <chrono>
#include <cstdio>

#include "base/deadline.h"
#include "platform/net.h"

namespace kesto::server {

namespace {

constexpr unsigned char kIac = 255;
constexpr unsigned char kSubnegotiationBegin = 250;
constexpr unsigned char kSubnegotiationEnd = 240;
constexpr unsigned char kWill = 251;
constexpr unsigned char kDont = 254;

std::string socket_error_line(const char* tag, int error) {
    char text[64];
    std::snprintf(text, sizeof text, "(%s) Socket %s error: %i", tag,
                  (tag[1] == 'S') ? "send" : "receive", error);
    return text;
}

// Sends all of `data`; 0 or errno. After a timed-out send, part of a line may have gone
// out and the peer is not reading: the socket takes no more, so that the replies of the
// session's end fail at once instead of waiting out the limit again.
int send_bounded(platform::Connection& connection, const char* data, std::size_t size) {
    const platform::IoResult r = connection.send_all(data, size);
    if (r.status == platform::IoStatus::timed_out) connection.stop_sending();
    return r.error;
}

// A byte 0xFF in a name goes out doubled: alone, a Telnet-aware client would take it for
// the start of a command (RFC 854, RFC 2640), as the command reader takes it from clients.
std::string doubled_iac(std::string_view text) {
    std::string out;
    out.reserve(text.size() + 8);
    for (char c : text) {
        out += c;
        if (static_cast<unsigned char>(c) == kIac) out += c;
    }
    return out;
}

}  // namespace

int send_text(const LogPoster& log, platform::Connection& connection, std::string_view text) {
    if (text.size() > kReplyLineLimit) return 1;
    if (text.empty()) return 0;
    std::string escaped;
    if (text.find(static_cast<char>(kIac)) != std::string_view::npos) {
        escaped = doubled_iac(text);
        text = escaped;
    }
    const int error = send_bounded(connection, text.data(), text.size());
    if (error == 0) return 0;
    log.post(LogLevel::informational, socket_error_line("SSR", error));
    return 2;
}

int send_reply(const LogPoster& log, const std::string& tag, platform::Connection& connection,
               int code, bool continued, std::string_view text) {
    if (text.size() > kReplyLineLimit) return 1;
    char head[16];
    std::snprintf(head, sizeof head, continued ? "%d- " : "%d ", code);
    std::string line = head;
    line += text;
    const int result = send_text(log, connection, line + "\r\n");
    if (log.wants(LogLevel::extreme)) log.post(LogLevel::extreme, "(" + tag + ") S->C: " + line);
    return result;
}

int send_block(const LogPoster& log, platform::Connection& connection, const char* data,
               std::size_t count) {
    const int error = send_bounded(connection, data, count);
    if (error == 0) return 0;
    if (log.wants(LogLevel::informational)) {
        const std::string shown(logged_block_text(std::string_view(data, count)));
        log.post(LogLevel::informational, socket_error_line("SSB", error) + " " +
                                              std::to_string(count) + " <<" + shown + ">>");
    }
    return 1;
}

std::string_view logged_block_text(std::string_view data) {
    data = data.substr(0, kLoggedBlockBytes);
    return data.substr(0, data.find('\0'));
}

long receive_block(const LogPoster& log, platform::Connection& connection, char* buffer,
                   std::size_t size) {
    const platform::IoResult r = connection.receive(buffer, size);
    if (r.status == platform::IoStatus::failed) {
        log.post(LogLevel::informational, socket_error_line("SRB", r.error));
        return -1;
    }
    return static_cast<long>(r.count);
}

CommandReader::Byte CommandReader::filter(unsigned char c) {
    switch (telnet_) {
        case Telnet::command:
            telnet_ = Telnet::data;
            if (c == kIac) return Byte::keep;  // an escaped 0xFF is data
            if (c >= kWill && c <= kDont) telnet_ = Telnet::option;
            if (c == kSubnegotiationBegin) telnet_ = Telnet::subnegotiation;
            return Byte::drop;
        case Telnet::option:
            telnet_ = Telnet::data;
            return Byte::drop;
        case Telnet::subnegotiation:
            if (c == kIac) telnet_ = Telnet::subnegotiation_iac;
            return Byte::drop;
        case Telnet::subnegotiation_iac:
            telnet_ = (c == kSubnegotiationEnd) ? Telnet::data : Telnet::subnegotiation;
            return Byte::drop;
        case Telnet::data:
            break;
    }
    if (c == kIac) {
        telnet_ = Telnet::command;
        return Byte::drop;
    }
    const bool skip = skip_lf_ && c == '\n';
    skip_lf_ = false;
    if (skip || c == '\0') return Byte::drop;
    if (c == '\r' || c == '\n') {
        skip_lf_ = (c == '\r');
        return Byte::line_end;
    }
    return Byte::keep;
}

bool CommandReader::take_pending(std::string& line, ReadStatus& status) {
    while (pending_start_ < pending_end_) {
        const auto c = static_cast<unsigned char>(pending_[pending_start_++]);
        const Byte kind = filter(c);
        if (kind == Byte::line_end) {
            if (discarding_) {
                discarding_ = false;
                continue;
            }
            line.swap(partial_);
            partial_.clear();
            status = kLineRead;
            return true;
        }
        if (kind == Byte::drop || discarding_) continue;
        partial_ += static_cast<char>(c);
        if (partial_.size() >= kCommandBufferBytes) {
            partial_.clear();
            discarding_ = true;
            status = kLineTooLong;
            return true;
        }
    }
    return false;
}

ReadStatus CommandReader::read_command_line(const LogPoster& log, platform::Connection& connection,
                                            std::string& line, int timeout_ms) {
    const Deadline deadline(timeout_ms);
    line.clear();
    for (;;) {
        ReadStatus status = kLineRead;
        if (take_pending(line, status)) return status;
        const platform::WaitResult ready = connection.wait_readable(deadline.remaining_ms());
        if (ready == platform::WaitResult::timed_out) return kReadTimedOut;
        const platform::IoResult r = connection.receive(pending_, sizeof pending_);
        if (r.status == platform::IoStatus::failed) {
            log.post(LogLevel::informational, socket_error_line("SR", r.error));
        }
        if (r.status != platform::IoStatus::ok) return kReceiveFailed;
        pending_start_ = 0;
        pending_end_ = r.count;
    }
}

}  // namespace kesto::server
