#pragma once
// The command handlers the table calls, after its login and read-only tests.
// `argument` is the text after the command word (and its blank, for words that take
// an argument). Each sends its own replies.

#include <string_view>

#include "server/protocol/session.h"

namespace kesto::server {

// Login and session commands.
void cmd_user(Session& s, std::string_view name);
void cmd_pass(Session& s, std::string_view password);
void cmd_acct(Session& s, std::string_view argument);
void cmd_rein(Session& s, std::string_view argument);
void cmd_quit(Session& s, std::string_view argument);
void cmd_noop(Session& s, std::string_view argument);

// Navigation.
void cmd_cwd(Session& s, std::string_view argument);
void cmd_cdup(Session& s, std::string_view argument);
void cmd_pwd(Session& s, std::string_view argument);

// Settings.
void cmd_type(Session& s, std::string_view argument);
void cmd_stru(Session& s, std::string_view argument);
void cmd_mode(Session& s, std::string_view argument);
void cmd_rest(Session& s, std::string_view argument);

// Files and folders.
void cmd_dele(Session& s, std::string_view argument);
void cmd_rmd(Session& s, std::string_view argument);
void cmd_mkd(Session& s, std::string_view argument);
void cmd_rnfr(Session& s, std::string_view argument);
void cmd_rnto(Session& s, std::string_view argument);
void cmd_size(Session& s, std::string_view argument);
void cmd_mdtm(Session& s, std::string_view argument);

// Information and commands without effect.
void cmd_smnt(Session& s, std::string_view argument);
void cmd_allo(Session& s, std::string_view argument);
void cmd_abor(Session& s, std::string_view argument);
void cmd_site(Session& s, std::string_view argument);
void cmd_syst(Session& s, std::string_view argument);
void cmd_help(Session& s, std::string_view argument);
void cmd_stat(Session& s, std::string_view rest);

// Data connections and transfers.
void cmd_port(Session& s, std::string_view argument);
void cmd_pasv(Session& s, std::string_view rest);
void cmd_retr(Session& s, std::string_view argument);
void cmd_stor(Session& s, std::string_view argument);
void cmd_stou(Session& s, std::string_view rest);
void cmd_appe(Session& s, std::string_view argument);
void cmd_list(Session& s, std::string_view rest);
void cmd_nlst(Session& s, std::string_view rest);

// Extensions for desktop and scripting clients: feature negotiation (RFC 2389, 2640),
// extended data connections (RFC 2428) and machine-readable listings (RFC 3659).
void cmd_feat(Session& s, std::string_view rest);
void cmd_opts(Session& s, std::string_view argument);
void cmd_epsv(Session& s, std::string_view rest);
void cmd_eprt(Session& s, std::string_view argument);
void cmd_mlsd(Session& s, std::string_view rest);
void cmd_mlst(Session& s, std::string_view rest);

}  // namespace kesto::server
