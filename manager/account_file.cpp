#include "manager/account_file.h"

#include <utility>

#include "base/ascii.h"
#include "manager/account_list.h"
#include "settings/keys.h"

namespace kesto::manager {

namespace {

namespace keys = settings;

constexpr std::size_t kRowNameChars = 1023;
constexpr std::size_t kEditorTextChars = 199;

constexpr std::string_view kSysWords[] = {"UNIX", "WINNT4", "OKUMA", "UNKNOWN"};

}  // namespace

std::string account_section(std::string_view name) {
    return std::string(keys::kAccountSectionPrefix) + std::string(name);
}

std::string_view sys_word(ListingStyle style) {
    const auto index = static_cast<std::size_t>(style);
    return index < std::size(kSysWords) ? kSysWords[index] : kSysWords[0];
}

ListingStyle listing_style_of(std::string_view sys) {
    if (ascii::equal_ignoring_case(sys, "UNKNOWN")) return ListingStyle::unknown;
    if (ascii::equal_ignoring_case(sys, "WINNT4")) return ListingStyle::windows;
    if (ascii::equal_ignoring_case(sys, "OKUMA")) return ListingStyle::okuma;
    return ListingStyle::unix_style;
}

std::vector<AccountRow> AccountFile::load() {
    const auto& fill = keys::kAccountCompletion;
    // Five reads an account: read the file once and write the completed keys once.
    const bool was_caching = store_.set_caching(true);
    std::vector<AccountRow> rows;
    const std::string users = store_.read_text(keys::kUserList.section, keys::kUserList.name,
                                               keys::kUserList.fallback, keys::kUserList.max_chars);
    for (const std::string& token : listed_names(users)) {
        const std::string section = account_section(token);
        // SYS and PASS are read only to complete the section.
        (void)store_.read_text(section, keys::kAccountSys.name, fill.sys, kRowNameChars);
        (void)store_.read_text(section, keys::kAccountPass.name, fill.password, kRowNameChars);
        AccountRow row;
        row.name = store_.read_text(section, keys::kAccountName.name, fill.name, kRowNameChars);
        row.folder = store_.read_text(section, keys::kAccountPath.name, fill.path,
                                      keys::kAccountPath.max_chars);
        (void)store_.read_flag(section, keys::kAccountRoot.name, fill.confined);
        if (!row.name.empty()) rows.push_back(std::move(row));
    }
    (void)store_.read_text(keys::kLogLevel.section, keys::kLogLevel.name,
                           keys::kLogLevelCompletion);
    (void)store_.read_text(keys::kLogFileName.section, keys::kLogFileName.name,
                           keys::kLogFileCompletion);
    (void)store_.read_text(keys::kSystemAddress.section, keys::kSystemAddress.name,
                           keys::kSystemAddressCompletion);
    store_.set_caching(was_caching);
    return rows;
}

AccountValues AccountFile::read(const std::string& name) {
    const std::string section = account_section(name);
    AccountValues values;
    values.name = store_.read_text(section, keys::kAccountName.name, name, kEditorTextChars);
    values.password = store_.read_text(section, keys::kAccountPass.name, "", kEditorTextChars);
    values.folder =
        store_.read_text(section, keys::kAccountPath.name, "", keys::kAccountPath.max_chars);
    values.confined = store_.read_flag(section, keys::kAccountRoot.name, false);
    values.read_only = store_.read_flag(section, keys::kAccountReadOnly.name, false);
    values.desktop = store_.read_flag(section, keys::kAccountDesktop.name, false);
    values.listing_style =
        listing_style_of(store_.read_text(section, keys::kAccountSys.name, "", kEditorTextChars));
    return values;
}

std::string AccountFile::users() {
    return store_.read_text(keys::kUserList.section, keys::kUserList.name, "",
                            keys::kUserList.max_chars);
}

bool AccountFile::add(const AccountValues& account) {
    const std::string list = users_with(users(), account.name);
    if (!users_fit(list)) return false;
    write_users(list);
    write_account(account_section(account.name), account);
    return true;
}

bool AccountFile::update(const std::string& old_name, const AccountValues& account) {
    std::string section = account_section(old_name);
    if (!ascii::equal_ignoring_case(old_name, account.name)) {
        const std::string list = users_with(users_without(users(), old_name), account.name);
        if (!users_fit(list)) return false;
        store_.delete_section(section);
        note_write();
        write_users(list);
        section = account_section(account.name);
    }
    write_account(section, account);
    return true;
}

void AccountFile::remove(const std::string& name) {
    store_.delete_section(account_section(name));
    note_write();
    write_users(users_without(users(), name));
}

bool AccountFile::failed() {
    return std::exchange(failed_, false);
}

void AccountFile::write_account(const std::string& section, const AccountValues& account) {
    store_.write_text(section, keys::kAccountName.name, account.name);
    note_write();
    store_.write_text(section, keys::kAccountPass.name, account.password);
    note_write();
    store_.write_text(section, keys::kAccountPath.name, account.folder);
    note_write();
    store_.write_flag(section, keys::kAccountRoot.name, account.confined);
    note_write();
    store_.write_flag(section, keys::kAccountReadOnly.name, account.read_only);
    note_write();
    store_.write_text(section, keys::kAccountSys.name, sys_word(account.listing_style));
    note_write();
    store_.write_flag(section, keys::kAccountDesktop.name, account.desktop);
    note_write();
}

void AccountFile::write_users(const std::string& users) {
    store_.write_text(keys::kUserList.section, keys::kUserList.name, users);
    note_write();
}

void AccountFile::note_write() {
    failed_ = failed_ || store_.last_write_failed();
}

}  // namespace kesto::manager
