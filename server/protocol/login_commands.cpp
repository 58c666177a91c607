// USER, PASS, ACCT, REIN, QUIT and NOOP.
#include <cstdio>

#include "platform/files.h"
#include "server/protocol/account.h"
#include "server/protocol/commands.h"
#include "server/protocol/data_connection.h"
#include "server/protocol/limits.h"
#include "server/protocol/login_guard.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

constexpr std::size_t kWordLength = 5;  // "USER " and "PASS "

void log_account(const Session& s, const Account& a) {
    const LogPoster& log = s.context.log;
    if (!log.wants(LogLevel::extreme)) return;
    log.post(LogLevel::extreme, s.context.account_file);
    log.post(LogLevel::extreme, a.section);
    log.post(LogLevel::extreme, a.name);
    log.post(LogLevel::extreme, "****");  // the account's password is never logged
    log.post(LogLevel::extreme, a.path);
    log.post(LogLevel::extreme, std::string("Root only: ") + (a.confined ? "Yes" : "No"));
    log.post(LogLevel::extreme, "System type: " + std::to_string(static_cast<int>(a.system_type)) +
                                    " (" + a.sys + ")");
}

void enter_account(Session& s) {
    // The confinement root is fixed at login; a PATH that does not resolve stays as
    // text (taken from the root), so relative names fail rather than land elsewhere.
    s.login.root_real = platform::canonical_path(s.login.account.path);
    s.login.current_directory = s.login.root_real.empty()
                                    ? platform::combine_client_path("/", s.login.account.path)
                                    : s.login.root_real;
    // Paths resolve from a descriptor held for the session: the confined root, or the
    // file system's root for an account that is not confined.
    s.login.root_folder =
        platform::open_root_folder(s.login.account.confined ? s.login.root_real : "/");
    if (s.login.account.confined && !s.login.root_folder) s.login.root_real.clear();
    if (!s.reply(kLoggedIn)) return;
    s.log(LogLevel::informational, "Client logged in as '" + s.login.user_name + "'.");
    s.login.logged_in = true;
}

}  // namespace

void cmd_user(Session& s, std::string_view name) {
    s.login.rename_pending = false;
    if (kWordLength + name.size() > kMaxLoginLine) {
        s.reply(kUnrecognized);
        return;
    }
    if (s.login.logged_in) {
        s.login.user_name.clear();
        s.login.password.clear();
        s.login.logged_in = false;
    }
    s.login.user_name = std::string(name);
    if (s.reply(kNeedPassword)) s.login.user_given = true;
}

void cmd_pass(Session& s, std::string_view password) {
    s.login.rename_pending = false;
    if (!s.login.user_given) {
        if (s.reply(kBadSequence)) s.login.logged_in = false;
        return;
    }
    if (kWordLength + password.size() > kMaxLoginLine) {
        s.reply(kUnrecognized);
        return;
    }
    s.login.password = std::string(password);
    const Account account = read_account(s.context.account_file, s.login.user_name);
    log_account(s, account);
    s.login.user_given = false;
    if (account.path_too_long) {
        s.context.log.post(LogLevel::fatal, "(" + s.tag + ") The PATH of account '" +
                                                s.login.user_name +
                                                "' is longer than 1024 characters.");
        s.reply(kServiceNotAvailable);
        return;
    }
    if (!equal_ignoring_case(s.login.user_name, account.name) ||
        !equal_ignoring_case(s.login.password, account.password)) {
        refuse_login(s);
        return;
    }
    // Only now: before the password matched, no reply may tell what the account allows.
    s.login.account = account;
    enter_account(s);
}

void cmd_acct(Session& s, std::string_view) {
    if (s.login.logged_in) {
        s.reply(kLoggedIn);
    } else {
        s.reply(kBadSequence);
    }
}

void cmd_rein(Session& s, std::string_view) {
    // read_only stays: a read-only account stays refused after REIN.
    const bool read_only = s.login.account.read_only;
    s.login = {};
    s.login.account.read_only = read_only;
    s.transfer = {};
    s.channel = {};  // closes a pending passive socket: passive mode is left
    s.reply(kServiceReady);
}

void cmd_quit(Session& s, std::string_view) {
    (void)s.reply(kClosingControl);
    s.close_requested = false;  // its result is not looked at
    s.running = false;
}

void cmd_noop(Session& s, std::string_view) {
    s.reply(kCommandOkay);
}

}  // namespace kesto::server
