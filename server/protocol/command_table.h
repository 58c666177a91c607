#pragma once
// The command table and the dispatcher: the first command word with which a line
// begins selects the command; the table's rows carry the login and read-only rules,
// so handlers hold only their own logic.

#include <string>
#include <string_view>
#include <vector>

#include "server/protocol/session.h"

namespace kesto::server {

// Blanks trimmed, the line cut at its first CR or LF, upper-cased, runs of blanks
// made one. Only the blank counts; TABs stay.
[[nodiscard]] std::string normalise_command_line(std::string_view raw);

// The line a session dispatches: normalised, except that for an account for desktop
// clients (logged in) a path-taking command keeps its argument as sent, letter case and
// blanks, so that names are used exactly; the command word is matched up to case
// either way.
[[nodiscard]] std::string session_command_line(const Session& session, std::string_view raw);

// Every command word of the table, aliases included, without the blank that marks a
// word needing an argument: what HELP must name.
[[nodiscard]] std::vector<std::string_view> command_words();

// Runs one normalised line; every reply goes out through the session.
void dispatch(Session& session, std::string_view line);

}  // namespace kesto::server
