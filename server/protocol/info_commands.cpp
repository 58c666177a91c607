// SYST, STAT, HELP and the commands accepted without effect (SMNT, ALLO, ABOR, SITE).
#include <cstdio>

#include "platform/net.h"
#include "server/protocol/commands.h"
#include "server/protocol/data_connection.h"
#include "server/protocol/listing.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

constexpr const char* kHelpLines[] = {
    "The following commands are implemented:",
    "[+]ABOR   [+]ACCT   [+]ALLO   [+]APPE   [+]CDUP   [+]CWD",
    "[+]DELE   [+]HELP   [+]LIST   [+]MDTM   [+]MKD    [+]MODE",
    "[+]NLST   [+]NOOP   [+]PASS   [+]PASV   [+]PORT   [+]PWD",
    "[+]QUIT   [+]REIN   [+]REST   [+]RETR   [+]RMD    [+]RNFR",
    "[+]RNTO   [+]SITE   [+]SIZE   [-]SMNT   [+]STAT   [+]STOR",
    "[+]STOU   [+]STRU   [+]SYST   [+]TYPE   [+]USER   [+]XCUP",
    "[+]XMKD   [+]XPWD   [+]XRMD",
    "Consult RFC 959, RFC 775 and RFC 1123 for more information",
    " Please report problems to the KESTO FTP developers.",
};

const char* type_text(const Session& s) {
    switch (s.transfer.type) {
        case RepresentationType::EBCDIC:
            return "Type: EBCDIC";
        case RepresentationType::IMAGE:
            return "Type: Image";
        case RepresentationType::LOCAL:
            return "Type: Local";
        default:
            return "Type: ASCII";
    }
}

std::string type_addition(const Session& s) {
    if (s.transfer.type == RepresentationType::LOCAL) return " (Byte size 8)";
    if (s.transfer.type == RepresentationType::IMAGE) return "";
    static constexpr const char* kFormats[] = {" (Non Print)", " (Telnet Format Effectors)",
                                               " (Carriage Control)"};
    return kFormats[(s.transfer.format_control >= 1 && s.transfer.format_control <= 3)
                        ? s.transfer.format_control - 1
                        : 0];
}

const char* pick(int value, const char* one, const char* two, const char* three) {
    return value == 2 ? two : value == 3 ? three : one;
}

std::string status_text(Session& s) {
    char text[1024];
    std::string out = "\r\n" + std::string(kServerName) + "\r\n";
    std::snprintf(text, sizeof text,
                  "\r\nClient identity: %s (%d).\r\nLogin user: %s.\r\nCurrent directory: %s\r\n",
                  platform::to_text(s.peer.address).c_str(), s.channel.data_port,
                  s.login.user_name.c_str(), s.client_path_of(s.login.current_directory).c_str());
    out += text;
    out += type_text(s) + type_addition(s);
    out += std::string("\r\nMode: ") +
           pick(s.transfer.transfer_mode, "Stream", "Binary", "Compressed") +
           "\r\nStructure: " + pick(s.transfer.structure, "File", "Record", "STRU_PAGE") + "\r\n";
    if (!s.channel.passive_pending) {
        out += "Server is not in passive mode.\r\n";
    } else {
        out += "\r\nServer is in passive mode. Listening on: " +
               platform::to_text(passive_address(s)) + " (" +
               std::to_string(s.channel.passive_port) + ").\r\n";
    }
    out += s.transfer.restart_offset == 0
               ? std::string("No restart point set.\r\n")
               : "Restart point set to " + std::to_string(s.transfer.restart_offset) + ".\r\n";
    out += std::string("Operating system emulation: ") +
           (s.login.account.system_type == formats::SystemType::UNIX ? "Unix" : "Unknown") +
           "\r\n\r\n";
    return out;
}

// The free text goes out in pieces the control channel accepts.
void send_free_text(Session& s, const std::string& text) {
    for (std::size_t start = 0; start < text.size(); start += kReplyLineLimit) {
        s.text(std::string_view(text).substr(start, kReplyLineLimit));
    }
}

void status_of_path(Session& s, std::string_view path) {
    ListingTarget target;
    if (!prepare_listing(s, path, target)) return;
    platform::Entry entry;
    const bool is_file =
        platform::resolve_client_path(s.path_scope(), path, platform::Follow::final_link, entry) ==
            platform::PathResult::ok &&
        platform::file_info(entry).is_regular;
    const int code = is_file ? 213 : 212;
    const char* kind = is_file ? "File status." : "Directory status.";
    s.reply(code, kind, true);
    if (list_directory(s.context.log, s.control, s.login.account.system_type,
                       formats::ListingKind::LIST_LONG, target,
                       RepresentationType::ASCII) == ListingResult::sent) {
        s.reply(code, kind);
    } else {
        s.reply(kFileActionNotTaken);
    }
}

}  // namespace

void cmd_smnt(Session& s, std::string_view) {
    s.reply(kNotImplemented);
}

void cmd_allo(Session& s, std::string_view) {
    s.reply(kSuperfluous);
}

void cmd_abor(Session& s, std::string_view) {
    s.reply(kNoTransferInProgress);
}

void cmd_site(Session& s, std::string_view) {
    s.reply(kCommandOkay);
}

void cmd_syst(Session& s, std::string_view) {
    s.reply(215, s.login.account.system_type == formats::SystemType::UNIX ? "UNIX Type: L8"
                                                                          : "UNKNOWN Type: L8");
}

void cmd_help(Session& s, std::string_view) {
    const std::size_t count = std::size(kHelpLines);
    for (std::size_t i = 0; i < count; ++i) {
        if (!s.reply(214, kHelpLines[i], i + 1 < count)) return;
    }
}

void cmd_stat(Session& s, std::string_view rest) {
    if (!rest.empty() && rest[0] != ' ') {
        s.reply(kUnrecognized);
        return;
    }
    if (rest.size() > 1) {
        status_of_path(s, rest.substr(1));
        return;
    }
    s.reply(211, "System status", true);
    send_free_text(s, status_text(s));
    s.reply(211, "System status");
}

}  // namespace kesto::server
