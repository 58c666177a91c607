#pragma once
// The accounts as the manager reads and writes them in the profile: the list USERS and
// one section "USER<name>" an account, completed with the manager's defaults when keys
// are missing. Every write is checked: `failed()` tells the caller that a change did
// not reach the file, so the window can say so instead of showing what is not stored.

#include <string>
#include <string_view>
#include <vector>

#include "common/profile_store.h"
#include "manager/account_values.h"

namespace kesto::manager {

// A row of the main window: the account's NAME and PATH.
struct AccountRow {
    std::string name;
    std::string folder;
};

// The SYS word for a listing style, and the style a SYS word names (case ignored).
[[nodiscard]] std::string_view sys_word(ListingStyle style);
[[nodiscard]] ListingStyle listing_style_of(std::string_view sys);

class AccountFile {
  public:
    explicit AccountFile(common::ProfileStore& store) : store_(store) {}

    // The listed accounts, every missing key completed in the file (a missing file
    // becomes one holding the account "anonymous"), and the GLOBAL keys the server
    // starts with.
    [[nodiscard]] std::vector<AccountRow> load();
    // The account's values for the editor (flags default to No).
    [[nodiscard]] AccountValues read(const std::string& name);
    [[nodiscard]] std::string users();

    // Appends the name to USERS and writes the account; false when USERS would grow
    // too long (nothing is written then).
    bool add(const AccountValues& account);
    // Writes the account edited from `old_name`; a new name (not only another letter
    // case) moves the section and the name's place in USERS to the end.
    bool update(const std::string& old_name, const AccountValues& account);
    void remove(const std::string& name);

    // A change since the last call did not reach the file.
    [[nodiscard]] bool failed();

  private:
    void write_account(const std::string& section, const AccountValues& account);
    void write_users(const std::string& users);
    void note_write();

    common::ProfileStore& store_;
    bool failed_ = false;
};

// "USER<name>".
[[nodiscard]] std::string account_section(std::string_view name);

}  // namespace kesto::manager
