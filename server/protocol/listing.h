#pragma once
// list_directory: a path or pattern searched as a Windows directory search does, its
// entries formatted in a listing emulation and written to a connection.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "server/formats/listing_format.h"
#include "server/formats/wildcard.h"
#include "server/protocol/session.h"

namespace kesto::server {

// Where a listing searches: a folder held open since the command was checked, and a
// wildcard pattern for its names.
struct ListingTarget {
    platform::UniqueFd folder;  // empty when it could not be opened (`open_error`)
    int open_error = 0;
    std::string path;           // the folder's local path
    bool is_root = false;       // the scope's root: its ".." shows the root's own data
    platform::PathScope scope;  // where links in the folder are checked
    std::string pattern;
    formats::LetterCase letters = formats::LetterCase::ignored;  // of the pattern
    formats::UnixDates dates;                                    // of the UNIX form
};

// Resolves a listing's argument for the session and opens its folder. False (after
// answering 521) when it lies outside a confined account's folder.
[[nodiscard]] bool prepare_listing(Session& s, std::string_view argument, ListingTarget& target);

enum class ListingResult {
    sent,    // also when nothing matched
    failed,  // the folder could not be read
    cut,     // a send failed: the client has only part of it
};

// The reply that ends a listing on the data connection: 226, 426 for a cut listing (a
// mirroring client must not take a part for the whole folder), 451 for a folder that
// could not be read.
void reply_listing_result(Session& s, ListingResult result);

// Writes the listing to `connection`.
[[nodiscard]] ListingResult list_directory(const LogPoster& log, platform::Connection& connection,
                                           formats::SystemType system, formats::ListingKind kind,
                                           const ListingTarget& target, RepresentationType type);

// One entry of a listing's folder, with the status the listings show for it.
struct FolderEntry {
    std::string name;
    platform::FileInfo info;
};

// The entries of the target's folder that match its pattern, in search order, each
// examined once; `error` is 0 or the errno of reading the folder.
[[nodiscard]] std::vector<FolderEntry> read_listing_folder(const ListingTarget& target, int& error);

// Writes one text per entry of the target's folder, as `line_of` makes it (an empty text
// sends nothing), gathered into blocks as the listings are.
using FolderLine = std::function<std::string(const FolderEntry&)>;
[[nodiscard]] ListingResult send_folder_lines(const LogPoster& log,
                                              platform::Connection& connection,
                                              const ListingTarget& target,
                                              const FolderLine& line_of);

}  // namespace kesto::server
