#pragma once
// What a failed login costs the client: it is logged, answered only after
// LOGIN_FAIL_DELAY, and after MAX_LOGIN_FAILURES of them the connection is closed.
// Together they keep passwords from being guessed at line speed.

#include "server/protocol/session.h"

namespace kesto::server {

// Answers a PASS whose user or password did not match: "421 Service not available,
// closing control connection." after the delay. The connection stays open below the
// limit (machine controls go by the reply's text); the failure that reaches it closes
// the connection. A client that closes during the delay gets no answer and the session
// ends.
void refuse_login(Session& s);

}  // namespace kesto::server
