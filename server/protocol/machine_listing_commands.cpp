// MLSD and MLST: listings in the machine-readable form of RFC 3659. Their paths go
// through the session's resolver as LIST's do (confinement: 521), MLSD reads its folder
// and sends its lines as LIST does, and the facts come from the one status the listing
// takes of each entry. Wildcards are names here, as RFC 3659 says.
#include <string>

#include "platform/files.h"
#include "server/formats/machine_facts.h"
#include "server/protocol/commands.h"
#include "server/protocol/data_connection.h"
#include "server/protocol/limits.h"
#include "server/protocol/listing.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

formats::EntryKind kind_of(const platform::FileInfo& info) {
    if (info.is_directory) return formats::EntryKind::folder;
    if (info.is_regular) return formats::EntryKind::file;
    return formats::EntryKind::other;
}

formats::FactEntry fact_entry(const Session& s, const platform::FileInfo& info,
                              formats::EntryKind kind) {
    return {kind, info.size, info.mtime, info.permissions, s.login.account.read_only};
}

// The path after the command word: the current folder when none is given. False after
// 500 for a word that runs on ("MLSDX").
bool take_path(Session& s, std::string_view rest, std::string_view& path) {
    if (!rest.empty() && rest.front() != ' ') {
        s.reply(kUnrecognized);
        return false;
    }
    path = rest.empty() ? std::string_view(".") : rest.substr(1);
    return true;
}

// The folder MLSD lists, opened now as LIST opens its folder. False after the reply:
// 521 outside a confined account's folder, 550 when missing, 501 for a file.
bool prepare_folder(Session& s, std::string_view path, ListingTarget& target) {
    platform::Entry folder;
    if (!s.resolve_path(path, platform::Follow::final_link, folder)) return false;
    const platform::FileInfo info = platform::file_info(folder);
    if (!info.exists) {
        s.reply(kNotTaken);
        return false;
    }
    if (!info.is_directory) {
        s.reply(kBadParameters);
        return false;
    }
    target.open_error = platform::open_folder(folder, target.folder);
    target.path = folder.path;
    target.is_root = folder.is_root;
    target.scope = s.path_scope();
    target.pattern = "*";
    return true;
}

// The folder's own entry is its "cdir" line; its parent is not part of its content, and
// a confined account's root has none it may reach. An entry gone since it was read is
// left out.
std::string folder_line(const Session& s, const FolderEntry& entry) {
    if (entry.name == ".." || !entry.info.exists) return {};
    const formats::EntryKind kind =
        entry.name == "." ? formats::EntryKind::listed_folder : kind_of(entry.info);
    return formats::machine_listing_line(fact_entry(s, entry.info, kind), s.transfer.listing_facts,
                                         entry.name);
}

bool fits_reply_line(const std::string& line) {
    return line.size() <= kReplyLineLimit && line.find_first_of("\r\n") == line.size() - 2;
}

}  // namespace

void cmd_mlsd(Session& s, std::string_view rest) {
    std::string_view path;
    if (!take_path(s, rest, path)) return;
    ListingTarget target;
    if (!prepare_folder(s, path, target)) return;
    DataConnection data;
    if (!open_data_connection(s, data)) return;
    if (s.reply(kOpeningData)) {
        // The lines are UTF-8 text with CR LF whatever the TYPE: names are sent as bytes.
        const FolderLine line_of = [&s](const FolderEntry& entry) { return folder_line(s, entry); };
        reply_listing_result(s, send_folder_lines(s.context.log, *data, target, line_of));
    }
    close_data_connection(s, data);
}

void cmd_mlst(Session& s, std::string_view rest) {
    std::string_view path;
    if (!take_path(s, rest, path)) return;
    platform::Entry entry;
    if (!s.resolve_path(path, platform::Follow::final_link, entry)) return;
    const platform::FileInfo info = platform::file_info(entry);
    if (!info.exists) {
        s.reply(kNotTaken);
        return;
    }
    // The path as the resolution found it (real names, links followed), shown as PWD
    // shows paths: below the root for a confined account for desktop clients.
    const std::string shown = s.client_path_of(entry.path);
    const std::string head = "250-Listing " + shown + "\r\n";
    const std::string facts =
        " " + formats::facts_text(fact_entry(s, info, kind_of(info)), s.transfer.listing_facts) +
        " " + shown + "\r\n";
    // A line the control channel cannot carry would end the session: refuse instead.
    if (!fits_reply_line(head) || !fits_reply_line(facts)) {
        s.reply(kNotTaken);
        return;
    }
    if (s.text(head) && s.text(facts)) s.reply(250, "End");
}

}  // namespace kesto::server
