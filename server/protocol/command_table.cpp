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

struct CommandRow {
    std::string_view word;
    std::string_view alias;  // a second word for the same command, or empty
    Handler handler;
    Login login;
    bool refused_to_read_only;
    std::string_view trace = {};  // logged with the argument before any test ("Store: <%s>")
};

// The order counts: the first word with which a line begins wins (NOOPX runs NOOP).
// A word ending in a blank needs an argument.
constexpr std::array kCommands = {
    CommandRow{"USER ", "", cmd_user, Login::not_needed, false},
    CommandRow{"PASS ", "", cmd_pass, Login::not_needed, false},
    CommandRow{"ACCT ", "", cmd_acct, Login::not_needed, false},
    CommandRow{"CWD ", "", cmd_cwd, Login::needed, false},
    CommandRow{"CDUP", "XCUP", cmd_cdup, Login::needed, false},
    CommandRow{"SMNT", "", cmd_smnt, Login::needed, false},
    CommandRow{"REIN", "", cmd_rein, Login::not_needed, false},
    CommandRow{"PORT ", "", cmd_port, Login::needed, false},
    CommandRow{"TYPE ", "", cmd_type, Login::needed, false},
    CommandRow{"STRU ", "", cmd_stru, Login::needed, false},
    CommandRow{"MODE ", "", cmd_mode, Login::needed, false},
    CommandRow{"RETR ", "", cmd_retr, Login::needed, false, "Got request for: <"},
    CommandRow{"STOR ", "", cmd_stor, Login::needed, true, "Store: <"},
    CommandRow{"STOU", "", cmd_stou, Login::needed, true},
    CommandRow{"APPE ", "", cmd_appe, Login::needed, true},
    CommandRow{"REST ", "", cmd_rest, Login::needed, false},
    CommandRow{"MDTM ", "", cmd_mdtm, Login::needed, false},
    CommandRow{"LIST", "", cmd_list, Login::needed, false},
    CommandRow{"NLST", "", cmd_nlst, Login::needed, false},
    CommandRow{"PASV", "", cmd_pasv, Login::needed, false},
    CommandRow{"ALLO", "", cmd_allo, Login::needed, false},
    CommandRow{"RNFR ", "", cmd_rnfr, Login::needed, true},
    CommandRow{"RNTO ", "", cmd_rnto, Login::needed, true},
    CommandRow{"ABOR", "", cmd_abor, Login::not_needed, false},
    CommandRow{"DELE ", "", cmd_dele, Login::needed, true},
    CommandRow{"RMD ", "XRMD ", cmd_rmd, Login::needed, true},
    CommandRow{"MKD ", "XMKD ", cmd_mkd, Login::needed, true},
    CommandRow{"PWD", "XPWD", cmd_pwd, Login::needed_550, false},
    CommandRow{"SITE", "", cmd_site, Login::needed, false},
    CommandRow{"SYST", "", cmd_syst, Login::needed, false},
    CommandRow{"STAT", "", cmd_stat, Login::needed, false},
    CommandRow{"SIZE ", "", cmd_size, Login::needed, false},
    CommandRow{"HELP", "", cmd_help, Login::not_needed, false},
    CommandRow{"NOOP", "", cmd_noop, Login::not_needed, false},
    CommandRow{"QUIT", "", cmd_quit, Login::not_needed, false},
};

// Commands of later standards for desktop and scripting clients (FEAT, EPSV, MLSD...).
// Tried after the table above, and not named by HELP, whose lines machine controls know.
constexpr std::array kExtensionCommands = {
    CommandRow{"FEAT", "", cmd_feat, Login::not_needed, false},
    CommandRow{"OPTS ", "", cmd_opts, Login::not_needed, false},
    CommandRow{"EPSV", "", cmd_epsv, Login::needed, false},
    CommandRow{"EPRT ", "", cmd_eprt, Login::needed, false},
    CommandRow{"MLSD", "", cmd_mlsd, Login::needed, false},
    CommandRow{"MLST", "", cmd_mlst, Login::needed, false},
};

constexpr std::size_t kShortestLine = 3;

// The commands whose argument names a file or folder (MLSD and MLST included).
constexpr std::array<std::string_view, 15> kPathCommands = {
    "CWD ",  "RETR ", "STOR ", "STOU", "APPE ", "MDTM ", "LIST", "NLST",
    "RNFR ", "RNTO ", "DELE ", "RMD ", "MKD ",  "STAT",  "SIZE "};
constexpr std::array<std::string_view, 2> kPathExtensionCommands = {"MLSD", "MLST"};

bool takes_path(const CommandRow& row) {
    return std::ranges::find(kPathCommands, row.word) != kPathCommands.end() ||
           std::ranges::find(kPathExtensionCommands, row.word) != kPathExtensionCommands.end();
}

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
    if (match.row == nullptr || !takes_path(*match.row)) return line;
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
