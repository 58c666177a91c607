#pragma once
// One account as the editor takes and hands back its values; the main window reads
// and writes them in the account's section.

#include <string>

namespace kesto::manager {

// The listing styles in the order the editor lists them, and the SYS word of each.
enum class ListingStyle : int { unix_style = 0, windows = 1, okuma = 2, unknown = 3 };

struct AccountValues {
    std::string name;  // empty: a new account
    std::string password;
    std::string folder;
    ListingStyle listing_style = ListingStyle::unix_style;
    bool confined = false;   // ROOT
    bool read_only = false;  // READONLY
    bool desktop = false;    // DESKTOP: for desktop and sync clients
};

}  // namespace kesto::manager
