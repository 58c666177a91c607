#pragma once
// The connection primitives of a session: replies and texts on the control
// connection, command lines from it, and blocks on a data connection. Each logs its own
// socket errors and reports failure as a small integer. Called only by the session
// thread that owns the connection.

#include <cstddef>
#include <string>
#include <string_view>

#include "platform/connection.h"
#include "server/log/event_log.h"
#include "server/protocol/limits.h"

namespace kesto::server {

// 0 sent; 1 text or line too long (nothing sent); 2 send failed.
int send_reply(const LogPoster& log, const std::string& tag, platform::Connection& connection,
               int code, bool continued, std::string_view text);
// 0 sent (or empty); 1 longer than the line limit (nothing sent); 2 send failed.
int send_text(const LogPoster& log, platform::Connection& connection, std::string_view text);
// 0 sent; 1 send failed.
int send_block(const LogPoster& log, platform::Connection& connection, const char* data,
               std::size_t count);
// What a send-error line shows of a data block: at most kLoggedBlockBytes, and only as
// far as the first zero byte, since the log is text.
std::string_view logged_block_text(std::string_view data);
// Bytes received; 0 when the peer closed; -1 on a receive error.
long receive_block(const LogPoster& log, platform::Connection& connection, char* buffer,
                   std::size_t size);

enum ReadStatus : int {
    kLineRead = 0,
    kReceiveFailed = 1,  // error, or the client closed the connection
    kLineTooLong = 2,    // no line end within the buffer; the rest of the line is dropped
    kReadTimedOut = 3,
};

// Collects command lines. Bytes after a line end are kept for the next line, a line
// ends at its first CR or LF, the LF of a CR LF pair is skipped even when it arrives
// later, and Telnet command sequences are dropped.
class CommandReader {
  public:
    // `timeout_ms` < 0 waits for ever; else the whole line must arrive within it.
    ReadStatus read_command_line(const LogPoster& log, platform::Connection& connection,
                                 std::string& line, int timeout_ms);

  private:
    enum class Telnet { data, command, option, subnegotiation, subnegotiation_iac };
    enum class Byte { keep, drop, line_end };

    Byte filter(unsigned char c);
    bool take_pending(std::string& line, ReadStatus& status);

    char pending_[kCommandBufferBytes] = {};
    std::size_t pending_start_ = 0;
    std::size_t pending_end_ = 0;
    std::string partial_;
    bool skip_lf_ = false;
    bool discarding_ = false;
    Telnet telnet_ = Telnet::data;
};

}  // namespace kesto::server
