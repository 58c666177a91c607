#pragma once
// An account as the server reads it at every PASS: the section "USER<name>" of the
// account file. Nothing is cached, so changes take effect at the next login.

#include <string>

#include "server/formats/listing_format.h"

namespace kesto::server {

inline constexpr std::size_t kAccountNameChars = 49;
inline constexpr std::size_t kAccountPassChars = 49;
inline constexpr std::size_t kAccountFlagChars = 127;
inline constexpr std::size_t kAccountPathChars = 1024;  // what the manager writes
inline constexpr std::size_t kAccountSysChars = 31;
inline constexpr const char* kDefaultAccountPath = "/tmp";

struct Account {
    std::string section;
    std::string name;
    std::string password;
    std::string path;
    bool path_too_long = false;  // PATH is longer than kAccountPathChars
    bool root_only = false;
    bool read_only = false;
    std::string sys;
    formats::SystemType system_type = formats::SystemType::UNIX;
};

[[nodiscard]] Account read_account(const std::string& account_file, const std::string& user_name);

// "yes" in any letter case, or "1".
[[nodiscard]] bool flag_is_set(const std::string& value);

// ASCII letters compared without regard to case.
[[nodiscard]] bool equal_ignoring_case(const std::string& a, const std::string& b);

}  // namespace kesto::server
