#include "server/protocol/account.h"

#include "profile/profile_file.h"

namespace kesto::server {

namespace {

std::string read_text(const profile::ProfileSnapshot& profile, const std::string& section,
                      const settings::TextKey& key, std::size_t max_chars) {
    return profile.read(section, key.name, key.fallback, max_chars);
}

bool read_flag(const profile::ProfileSnapshot& profile, const std::string& section,
               const settings::FlagKey& key) {
    const std::string_view fallback = key.fallback ? settings::kFlagYes : settings::kFlagNo;
    return flag_is_set(profile.read(section, key.name, fallback, key.max_chars));
}

}  // namespace

Account read_account(const std::string& file, const std::string& user_name) {
    using namespace settings;
    // One snapshot: a manager writing meanwhile cannot mix two versions of the account.
    const profile::ProfileSnapshot profile(file.c_str());
    Account a;
    a.section = std::string(kAccountSectionPrefix) + user_name;
    a.name = read_text(profile, a.section, kAccountName, kAccountName.max_chars);
    a.password = read_text(profile, a.section, kAccountPass, kAccountPass.max_chars);
    a.confined = read_flag(profile, a.section, kAccountRoot);
    a.read_only = read_flag(profile, a.section, kAccountReadOnly);
    // One character more than allowed, to tell a longer PATH from one that fits.
    a.path = read_text(profile, a.section, kAccountPath, kAccountPath.max_chars + 1);
    a.path_too_long = a.path.size() > kAccountPath.max_chars;
    a.sys = profile.read(a.section, kAccountSys.name, "", kAccountSys.max_chars);
    a.system_type = system_type_from_name(a.sys);
    a.desktop = read_flag(profile, a.section, kAccountDesktop);
    return a;
}

}  // namespace kesto::server
