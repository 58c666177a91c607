#include "server/protocol/listing.h"

#include <vector>

#include "base/ascii.h"
#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "server/formats/wildcard.h"
#include "server/protocol/control_channel.h"
#include "server/protocol/limits.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

// Lines are gathered into blocks of kListingBlockBytes: the bytes on the wire are the
// same, the calls fewer.
class BlockSender {
  public:
    BlockSender(const LogPoster& log, platform::Connection& out) : log_(log), out_(out) {}
    bool add(const std::string& text) {
        buffer_ += text;
        return buffer_.size() < kListingBlockBytes || flush();
    }
    bool flush() {
        const bool sent =
            buffer_.empty() || send_block(log_, out_, buffer_.data(), buffer_.size()) == 0;
        buffer_.clear();
        return sent;
    }

  private:
    const LogPoster& log_;
    platform::Connection& out_;
    std::string buffer_;
};

// A link is listed with its target's data only where the target may be reached: a link
// out of a confined root shows its own, and the root's ".." the root's own data.
platform::FileInfo entry_info(const ListingTarget& target, const std::string& name) {
    const int folder = target.folder.get();
    if (name == ".." && target.is_root && target.scope.confined) {
        return platform::file_info_in(folder, ".", false);
    }
    const platform::FileInfo own = platform::file_info_in(folder, name, false);
    if (!own.is_link) return own;
    if (!target.scope.confined) return platform::file_info_in(folder, name, true);
    // The name from the listed folder, which a client of a root seen as "/" would not
    // reach by the folder's local path.
    platform::PathScope in_folder = target.scope;
    in_folder.cwd = target.path;
    platform::Entry entry;
    if (platform::resolve_client_path(in_folder, name, platform::Follow::final_link, entry) !=
        platform::PathResult::ok) {
        return own;
    }
    const platform::FileInfo followed = platform::file_info(entry);
    return followed.exists ? followed : own;
}

std::vector<formats::DirEntry> search(const ListingTarget& target, int& error) {
    std::vector<formats::DirEntry> entries;
    for (FolderEntry& found : read_listing_folder(target, error)) {
        const platform::FileInfo& info = found.info;
        // A folder has no size of its own in a Windows directory search.
        const std::int64_t size = info.is_directory ? 0 : info.size;
        entries.push_back(
            {std::move(found.name), info.is_directory, info.read_only, size, info.mtime});
    }
    return entries;
}

}  // namespace

void reply_listing_result(Session& s, ListingResult result) {
    switch (result) {
        case ListingResult::sent:
            s.reply(kTransferComplete);
            break;
        case ListingResult::cut:
            s.reply(kTransferAborted);
            break;
        case ListingResult::failed:
            s.reply(kLocalError);
            break;
    }
}

std::vector<FolderEntry> read_listing_folder(const ListingTarget& target, int& error) {
    std::vector<std::string> names;
    std::vector<FolderEntry> entries;
    error = target.folder ? platform::read_folder(target.folder.get(), names) : target.open_error;
    if (error != 0) return entries;
    std::erase_if(names, [&](const std::string& name) {
        return !formats::wildcard_match(target.pattern, name, target.letters) ||
               (name == ".." && target.path == "/");
    });
    formats::sort_in_search_order(names);
    entries.reserve(names.size());
    for (std::string& name : names) {
        const platform::FileInfo info = entry_info(target, name);
        entries.push_back({std::move(name), info});
    }
    return entries;
}

bool prepare_listing(Session& s, std::string_view argument, ListingTarget& target) {
    bool names_folder = false;
    if (!formats::has_wildcards(argument) && !argument.empty()) {
        platform::Entry entry;
        if (!s.resolve_path(argument, platform::Follow::final_link, entry)) return false;
        names_folder = platform::file_info(entry).is_directory;
    }
    const std::string path = formats::complete_listing_pattern(argument, names_folder);
    std::size_t cut = path.size();
    while (cut > 0 && !ascii::is_path_separator(path[cut - 1])) --cut;
    target.pattern = path.substr(cut);
    // "/x" searches the root; "x" the working directory.
    const std::string folder_part = cut == 0   ? "."
                                    : cut == 1 ? path.substr(0, 1)
                                               : path.substr(0, cut - 1);
    platform::Entry folder;
    if (!s.resolve_path(folder_part, platform::Follow::final_link, folder)) return false;
    // Opened now: the listing reads this folder, whatever is renamed before it is sent.
    target.open_error = platform::open_folder(folder, target.folder);
    target.path = folder.path;
    target.is_root = folder.is_root;
    target.scope = s.path_scope();
    if (s.login.account.desktop) {
        target.letters = formats::LetterCase::exact;
        target.dates = {true, platform::seconds_since_epoch()};
    }
    return true;
}

ListingResult list_directory(const LogPoster& log, platform::Connection& connection,
                             formats::SystemType system, formats::ListingKind kind,
                             const ListingTarget& target, RepresentationType type) {
    const auto code =
        type == RepresentationType::EBCDIC ? formats::LineCode::ebcdic : formats::LineCode::ascii;
    formats::ListingWriter writer(kind, system, code, target.dates);
    BlockSender out(log, connection);
    const std::string header = writer.header();
    if (!header.empty() && !(out.add(header) && out.flush())) return ListingResult::cut;
    int error = 0;
    const std::vector<formats::DirEntry> entries = search(target, error);
    if (error != 0 && !platform::no_such_path(error)) return ListingResult::failed;
    for (const formats::DirEntry& entry : entries) {
        const formats::EntryLine line = writer.next(entry);
        if (line.action == formats::LineAction::stop) break;
        if (line.action == formats::LineAction::send && !out.add(line.text))
            return ListingResult::cut;
    }
    if (!out.add(writer.finish()) || !out.flush()) return ListingResult::cut;
    return ListingResult::sent;
}

ListingResult send_folder_lines(const LogPoster& log, platform::Connection& connection,
                                const ListingTarget& target, const FolderLine& line_of) {
    int error = 0;
    const std::vector<FolderEntry> entries = read_listing_folder(target, error);
    if (error != 0) return ListingResult::failed;
    BlockSender out(log, connection);
    for (const FolderEntry& entry : entries) {
        const std::string line = line_of(entry);
        if (!line.empty() && !out.add(line)) return ListingResult::cut;
    }
    return out.flush() ? ListingResult::sent : ListingResult::cut;
}

}  // namespace kesto::server
