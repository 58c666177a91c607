#include "server/protocol/listing.h"

#include <cerrno>
#include <vector>

#include "platform/files.h"
#include "server/formats/wildcard.h"
#include "server/protocol/control_channel.h"

namespace kesto::server {

namespace {

// Lines are gathered into blocks: the bytes on the wire are the same, the calls fewer.
constexpr std::size_t kListingBlockBytes = 64 * 1024;

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

class BlockSender {
  public:
    BlockSender(const LogPoster& log, int socket) : log_(log), socket_(socket) {}
    bool add(const std::string& text) {
        buffer_ += text;
        return buffer_.size() < kListingBlockBytes || flush();
    }
    bool flush() {
        const bool sent =
            buffer_.empty() || send_block(log_, socket_, buffer_.data(), buffer_.size()) == 0;
        buffer_.clear();
        return sent;
    }

  private:
    const LogPoster& log_;
    int socket_;
    std::string buffer_;
};

std::vector<formats::DirEntry> search(const ListingTarget& target, int& error) {
    std::vector<std::string> names;
    std::vector<formats::DirEntry> entries;
    error = platform::read_folder(target.folder, names);
    if (error != 0) return entries;
    std::erase_if(names, [&](const std::string& name) {
        return !formats::wildcard_match(target.pattern, name) ||
               (name == ".." && target.folder == "/");
    });
    formats::sort_in_search_order(names);
    const std::string prefix = target.folder == "/" ? "/" : target.folder + "/";
    for (std::string& name : names) {
        const platform::FileInfo info = platform::file_info(prefix + name);
        // A folder has no size of its own in a Windows directory search.
        const std::int64_t size = info.is_directory ? 0 : info.size;
        entries.push_back({std::move(name), info.is_directory, info.read_only, size, info.mtime});
    }
    return entries;
}

}  // namespace

bool prepare_listing(Session& s, std::string_view argument, ListingTarget& target) {
    bool names_folder = false;
    if (!formats::has_wildcards(argument) && !argument.empty()) {
        std::string local;
        if (!s.resolve_path(argument, local)) return false;
        names_folder = platform::file_info(local).is_directory;
    }
    const std::string path = formats::complete_listing_pattern(argument, names_folder);
    std::size_t cut = path.size();
    while (cut > 0 && !is_separator(path[cut - 1])) --cut;
    target.pattern = path.substr(cut);
    // "/x" searches the root; "x" the working directory.
    const std::string folder_part = cut == 0   ? "."
                                    : cut == 1 ? path.substr(0, 1)
                                               : path.substr(0, cut - 1);
    return s.resolve_path(folder_part, target.folder);
}

int list_directory(const LogPoster& log, int socket, formats::SystemType system,
                   formats::ListingKind kind, const ListingTarget& target,
                   RepresentationType type) {
    const auto code =
        type == RepresentationType::EBCDIC ? formats::LineCode::ebcdic : formats::LineCode::ascii;
    formats::ListingWriter writer(kind, system, code);
    BlockSender out(log, socket);
    const std::string header = writer.header();
    if (!header.empty() && !(out.add(header) && out.flush())) return 1;
    int error = 0;
    const std::vector<formats::DirEntry> entries = search(target, error);
    if (error != 0 && error != ENOENT && error != ENOTDIR) return 1;
    for (const formats::DirEntry& entry : entries) {
        const formats::EntryLine line = writer.next(entry);
        if (line.action == formats::LineAction::stop) break;
        if (line.action == formats::LineAction::send && !out.add(line.text)) return 0;
    }
    (void)out.add(writer.finish());
    (void)out.flush();
    return 0;
}

}  // namespace kesto::server
