#include "server/protocol/command_table.h"

#include <algorithm>
#include <array>

#include "base/ascii.h"
#include "server/protocol/commands.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

using Handler = void (*)(Session&, std::string_view);

enum class Login { not_needed, needed, needed_550 };

// What the argument is: a path keeps its letter case and blanks for an account of
// desktop clients; anything else is normalised for every account.
enum class Argument { other, path };

struct CommandRow {
    std::string_view word;
    std::string_view alias;  // a second word for the same command, or empty
    Handler handler;
    Login login;
    Argument argument;
    bool refused_to_read_only;
    std::string_view trace = {};  // logged with the argument before any test ("Store: <%s>")
};

// The order counts: the first word with which a line begins wins (NOOPX runs NOOP).
// A word ending in a blank needs an argument.
constexpr std::array kCommands = {
    CommandRow{"USER ", "", cmd_user, Login::not_needed, Argument::other, false},
    CommandRow{"PASS ", "", cmd_pass, Login::not_needed, Argument::other, false},
    CommandRow{"ACCT ", "", cmd_acct, Login::not_needed, Argument::other, false},
    CommandRow{"CWD ", "", cmd_cwd, Login::needed, Argument::path, false},
    CommandRow{"CDUP", "XCUP", cmd_cdup, Login::needed, Argument::other, false},
    CommandRow{"SMNT", "", cmd_smnt, Login::needed, Argument::other, false},
    CommandRow{"REIN", "", cmd_rein, Login::not_needed, Argument::other, false},
    CommandRow{"PORT ", "", cmd_port, Login::needed, Argument::other, false},
    CommandRow{"TYPE ", "", cmd_type, Login::needed, Argument::other, false},
    CommandRow{"STRU ", "", cmd_stru, Login::needed, Argument::other, false},
    CommandRow{"MODE ", "", cmd_mode, Login::needed, Argument::other, false},
    CommandRow{"RETR ", "", cmd_retr, Login::needed, Argument::path, false, "Got request for: <"},
    CommandRow{"STOR ", "", cmd_stor, Login::needed, Argument::path, true, "Store: <"},
    CommandRow{"STOU", "", cmd_stou, Login::needed, Argument::path, true},
    CommandRow{"APPE ", "", cmd_appe, Login::needed, Argument::path, true},
    CommandRow{"REST ", "", cmd_rest, Login::needed, Argument::other, false},
    CommandRow{"MDTM ", "", cmd_mdtm, Login::needed, Argument::path, false},
    CommandRow{"LIST", "", cmd_list, Login::needed, Argument::path, false},
    CommandRow{"NLST", "", cmd_nlst, Login::needed, Argument::path, false},
    CommandRow{"PASV", "", cmd_pasv, Login::needed, Argument::other, false},
    CommandRow{"ALLO", "", cmd_allo, Login::needed, Argument::other, false},
    CommandRow{"RNFR ", "", cmd_rnfr, Login::needed, Argument::path, true},
    CommandRow{"RNTO ", "", cmd_rnto, Login::needed, Argument::path, true},
    CommandRow{"ABOR", "", cmd_abor, Login::not_needed, Argument::other, false},
    CommandRow{"DELE ", "", cmd_dele, Login::needed, Argument::path, true},
    CommandRow{"RMD ", "XRMD ", cmd_rmd, Login::needed, Argument::path, true},
    CommandRow{"MKD ", "XMKD ", cmd_mkd, Login::needed, Argument::path, true},
    CommandRow{"PWD", "XPWD", cmd_pwd, Login::needed_550, Argument::other, false},
    CommandRow{"SITE", "", cmd_site, Login::needed, Argument::other, false},
    CommandRow{"SYST", "", cmd_syst, Login::needed, Argument::other, false},
    CommandRow{"STAT", "", cmd_stat, Login::needed, Argument::path, false},
    CommandRow{"SIZE ", "", cmd_size, Login::needed, Argument::path, false},
    CommandRow{"HELP", "", cmd_help, Login::not_needed, Argument::other, false},
    CommandRow{"NOOP", "", cmd_noop, Login::not_needed, Argument::other, false},
    CommandRow{"QUIT", "", cmd_quit, Login::not_needed, Argument::other, false},
};

// Commands of later standards for desktop and scripting clients (FEAT, EPSV, MLSD...).
// Tried after the table above, and not named by HELP, whose lines machine controls know.
constexpr std::array kExtensionCommands = {
    CommandRow{"FEAT", "", cmd_feat, Login::not_needed, Argument::other, false},
    CommandRow{"OPTS ", "", cmd_opts, Login::not_needed, Argument::other, false},
    CommandRow{"EPSV", "", cmd_epsv, Login::needed, Argument::other, false},
    CommandRow{"EPRT ", "", cmd_eprt, Login::needed, Argument::other, false},
    CommandRow{"MLSD", "", cmd_mlsd, Login::needed, Argument::path, false},
    CommandRow{"MLST", "", cmd_mlst, Login::needed, Argument::path, false},
};

constexpr std::size_t kShortestLine = 3;

struct Match {
    const CommandRow* row = nullptr;
    std::size_t word_length = 0;
};

template <std::size_t N>
Match find_in(const std::array<CommandRow, N>& table, std::string_view line) {
    for (const CommandRow& row : table) {
        if (line.starts_with(row.word)) return {&row, row.word.size()};
        if (!row.alias.empty() && line.starts_with(row.alias)) return {&row, row.alias.size()};
    }
    return {};
}

Match find_command(std::string_view line) {
    const Match match = find_in(kCommands, line);
    return match.row != nullptr ? match : find_in(kExtensionCommands, line);
}

// The shared checks of the table, in the order clients see them.
bool passes_access_rules(Session& s, const CommandRow& row) {
    if (row.refused_to_read_only && s.login.account.read_only) {
        s.reply(kUserAccessDenied);
        return false;
    }
    if (row.login == Login::not_needed || s.login.logged_in) return true;
    if (row.login == Login::needed_550) {
        s.reply(kNotTaken);
    } else {
        s.reply(kNotLoggedIn);
    }
    return false;
}

}  // namespace

std::string normalise_command_line(std::string_view raw) {
    while (!raw.empty() && raw.front() == ' ') raw.remove_prefix(1);
    raw = raw.substr(0, raw.find('\r'));
    raw = raw.substr(0, raw.find('\n'));
    while (!raw.empty() && raw.back() == ' ') raw.remove_suffix(1);
    std::string line;
    line.reserve(raw.size());
    for (char c : raw) {
        if (c == ' ' && !line.empty() && line.back() == ' ') continue;
        line += ascii::to_upper(c);
    }
    return line;
}

std::string session_command_line(const Session& s, std::string_view raw) {
    std::string line = normalise_command_line(raw);
    if (!s.login.logged_in || !s.login.account.desktop) return line;
    const Match match = line.size() < kShortestLine ? Match{} : find_command(line);
    if (match.row == nullptr || match.row->argument != Argument::path) return line;
    // The word and its blank have the same length in both lines: blanks are collapsed
    // only from the second blank of a run on, and letters keep their places.
    while (!raw.empty() && raw.front() == ' ') raw.remove_prefix(1);
    raw = raw.substr(0, raw.find_first_of("\r\n"));
    line.resize(match.word_length);
    line.append(raw.substr(match.word_length));
    return line;
}

std::vector<std::string_view> command_words() {
    std::vector<std::string_view> words;
    for (const CommandRow& row : kCommands) {
        for (std::string_view word : {row.word, row.alias}) {
            while (word.ends_with(' ')) word.remove_suffix(1);
            if (!word.empty()) words.push_back(word);
        }
    }
    return words;
}

void dispatch(Session& s, std::string_view line) {
    const Match match = line.size() < kShortestLine ? Match{} : find_command(line);
    if (match.row == nullptr) {
        s.reply(kUnrecognized);
        s.login.rename_pending = false;
        return;
    }
    const bool is_rename_from = match.row->word == "RNFR ";
    if (!match.row->trace.empty() && s.context.log.wants(LogLevel::extreme)) {
        s.context.log.post(
            LogLevel::extreme,
            std::string(match.row->trace) + std::string(line.substr(match.word_length)) + ">");
    }
    if (passes_access_rules(s, *match.row)) match.row->handler(s, line.substr(match.word_length));
    if (!is_rename_from) s.login.rename_pending = false;
}

}  // namespace kesto::server
