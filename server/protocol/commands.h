#pragma once
// The command handlers the table calls, after its login and read-only tests.
// `argument` is the text after the command word (and its blank, for words that take
// an argument). Each sends its own replies.

#include <string_view>

#include "server/protocol/session.h"

namespace kesto::server {

// Login and session commands.
void cmd_user(Session& s, std::string_view line);
void cmd_pass(Session& s, std::string_view line);
void cmd_acct(Session& s, std::string_view argument);
void cmd_rein(Session& s, std::string_view argument);
void cmd_quit(Session& s, std::string_view argument);
void cmd_noop(Session& s, std::string_view argument);

// Navigation.
void cmd_cwd(Session& s, std::string_view argument);
void cmd_cdup(Session& s, std::string_view argument);
void cmd_pwd(Session& s, std::string_view argument);

// Commands not built yet answer "502 Command not implemented.".
void cmd_not_implemented(Session& s, std::string_view argument);

}  // namespace kesto::server
