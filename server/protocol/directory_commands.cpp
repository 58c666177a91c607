// CWD, CDUP/XCUP and PWD/XPWD.
#include "platform/files.h"
#include "server/protocol/commands.h"
#include "server/protocol/limits.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

// A failed change leaves the working directory as it was.
void change_directory(Session& s, std::string_view target, const Reply& ok, bool log_target) {
    platform::Entry entry;
    if (!s.resolve_path(target, platform::Follow::final_link, entry)) return;
    if (log_target) s.context.log.post(LogLevel::extreme, "CWD: " + std::string(target));
    // The resolution followed every link by hand, so its path is the folder's real one.
    if (!platform::file_info(entry).is_directory) {
        s.reply(kNotTaken);
        return;
    }
    s.login.current_directory = entry.path;
    s.reply(ok);
}

// UNIX and OKUMA clients expect '/' separators and no drive letter.
std::string shown_directory(const Session& s) {
    std::string path = s.client_path_of(s.login.current_directory);
    const bool unix_like = s.login.account.system_type == formats::SystemType::UNIX ||
                           s.login.account.system_type == formats::SystemType::OKUMA;
    if (!unix_like) return path;
    if (path.size() > 2 && path[1] == ':') path.erase(0, 2);
    for (char& c : path) {
        if (c == '\\') c = '/';
    }
    return path;
}

}  // namespace

void cmd_cwd(Session& s, std::string_view argument) {
    change_directory(s, argument, kFileActionDone, true);
}

void cmd_cdup(Session& s, std::string_view) {
    change_directory(s, "..", kCommandOkay, false);
}

void cmd_pwd(Session& s, std::string_view) {
    const std::string text = "\"" + shown_directory(s) + "\" is current directory.";
    // A reply over the line limit would end the session; refuse it instead.
    if (text.size() > kReplyTextLimit) {
        s.reply(kNotTaken);
        return;
    }
    s.reply(257, text);
}

}  // namespace kesto::server
