#pragma once
// An account as the server reads it at every PASS: the section "USER<name>" of the
// account file. Nothing is cached, so changes take effect at the next login.

#include <string>

#include "base/ascii.h"
#include "settings/records.h"

namespace kesto::server {

using settings::Account;
using settings::flag_is_set;

[[nodiscard]] Account read_account(const std::string& account_file, const std::string& user_name);

using ascii::equal_ignoring_case;

}  // namespace kesto::server
