#pragma once
// list_directory: a path or pattern searched as a Windows directory search does, its
// entries formatted in a listing emulation and written to a connection.

#include <string>
#include <string_view>

#include "server/formats/listing_format.h"
#include "server/protocol/session.h"

namespace kesto::server {

// Where a listing searches: a local folder and a wildcard pattern for its names.
struct ListingTarget {
    std::string folder;
    std::string pattern;
};

// Resolves a listing's argument for the session. False (after answering 521) when it
// lies outside a confined account's folder.
[[nodiscard]] bool prepare_listing(Session& s, std::string_view argument, ListingTarget& target);

// Writes the listing to `socket`; 0 on success (also when nothing matched or the
// client stopped reading), 1 when the listing could not be made.
[[nodiscard]] int list_directory(const LogPoster& log, int socket, formats::SystemType system,
                                 formats::ListingKind kind, const ListingTarget& target,
                                 RepresentationType type);

}  // namespace kesto::server
