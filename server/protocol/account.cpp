#include "server/protocol/account.h"

#include "profile/profile_file.h"

namespace kesto::server {

namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

}  // namespace

bool equal_ignoring_case(const std::string& a, const std::string& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return true;
}

bool flag_is_set(const std::string& value) {
    return equal_ignoring_case(value, "yes") || value == "1";
}

Account read_account(const std::string& file, const std::string& user_name) {
    // One snapshot: a manager writing meanwhile cannot mix two versions of the account.
    const profile::ProfileSnapshot profile(file.c_str());
    Account a;
    a.section = "USER" + user_name;
    a.name = profile.read(a.section, "NAME", "", kAccountNameChars);
    a.password = profile.read(a.section, "PASS", "", kAccountPassChars);
    a.root_only = flag_is_set(profile.read(a.section, "ROOT", "No", kAccountFlagChars));
    a.read_only = flag_is_set(profile.read(a.section, "READONLY", "No", kAccountFlagChars));
    // One character more than allowed, to tell a longer PATH from one that fits.
    a.path = profile.read(a.section, "PATH", kDefaultAccountPath, kAccountPathChars + 1);
    a.path_too_long = a.path.size() > kAccountPathChars;
    a.sys = profile.read(a.section, "SYS", "", kAccountSysChars);
    a.system_type = formats::system_type_from_name(a.sys);
    return a;
}

}  // namespace kesto::server
