#include "server/protocol/login_guard.h"

#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

// Holds the answer for LOGIN_FAIL_DELAY seconds, this session's thread only. Lines the
// client sends meanwhile wait unread, so pipelined guesses each wait their turn. False
// when the client closed (or the connection failed) meanwhile.
bool hold_answer(Session& s) {
    const int delay_ms = s.context.config.login_fail_delay_seconds * 1000;
    return delay_ms <= 0 || !s.control.wait_for_close(delay_ms);
}

bool limit_reached(const Session& s) {
    const int limit = s.context.config.max_login_failures;  // 0: no limit
    return limit > 0 && s.failed_logins >= limit;
}

}  // namespace

void refuse_login(Session& s) {
    ++s.failed_logins;
    // The name only: a mistyped password may be another account's.
    s.log(LogLevel::informational, "Login failed for user '" + s.login.user_name + "'.");
    if (!hold_answer(s)) {
        s.running = false;  // nobody to answer; an answer now would end the delay early
        return;
    }
    const bool last = limit_reached(s);
    if (last) s.log(LogLevel::fatal, "Too many failed logins, connection closed.");
    s.reply(kServiceNotAvailable);
    if (last) s.running = false;
}

}  // namespace kesto::server
