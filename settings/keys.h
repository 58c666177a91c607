#pragma once
// Every configuration key, declared once: its section, name, kind, default and limits.
// The server's loaders read with these rows and the manager validates and writes with
// them, so the two programs never state a fact about the file twice. A key added later
// joins its table here and its list in for_each_*_key.

#include <array>
#include <cstddef>
#include <string_view>

#include "settings/vocabulary.h"

namespace kesto::settings {

inline constexpr std::string_view kGlobalSection = "GLOBAL";
// An account's section is this prefix and the user name: "USER<name>".
inline constexpr std::string_view kAccountSectionPrefix = "USER";
inline constexpr std::string_view kAccountSection = "USER<name>";

// A dotted IPv4 address; `absent` says what its absence means.
struct AddressKey {
    std::string_view section, name;
    std::string_view absent = "<every address>";
};

// An IPv6 address in its text form; absent or empty: none.
struct Address6Key {
    std::string_view section, name;
};

// "low-high", low <= high, both within low..high of the key; absent: any port.
struct PortRangeKey {
    std::string_view section, name;
    long low, high;
};

// A whole number in low..high.
struct NumberKey {
    std::string_view section, name;
    long low, high, fallback;
};

// Text of at most max_chars characters.
struct TextKey {
    std::string_view section, name;
    std::size_t max_chars;
    std::string_view fallback;
};

// "Yes"/"No", read as at most max_chars characters.
struct FlagKey {
    std::string_view section, name;
    std::size_t max_chars;
    bool fallback;
};

// One word of a vocabulary; max_chars 0: no limit of its own (the line's).
template <typename Value, std::size_t N>
struct WordKey {
    std::string_view section, name;
    const std::array<Word<Value>, N>& words;
    std::size_t max_chars;
    Value fallback;
};

// A repeated key of three comma-separated tokens, each cut to its length.
struct ListKey {
    std::string_view section, name;
    std::size_t max_entries;
    std::array<std::size_t, 3> token_chars;
};

// GLOBAL, scanned line by line by the server at start-up.
inline constexpr AddressKey kSystemAddress{kGlobalSection, "SYSTEM_ADDRESS"};
inline constexpr NumberKey kSystemPort{kGlobalSection, "SYSTEM_PORT", 1, 65535, 21};
inline constexpr NumberKey kIdleTimeout{kGlobalSection, "IDLE_TIMEOUT", 0, 86400, 900};
inline constexpr NumberKey kDataTimeout{kGlobalSection, "DATA_TIMEOUT", 1, 3600, 60};
inline constexpr NumberKey kLoginTimeout{kGlobalSection, "LOGIN_TIMEOUT", 1, 3600, 60};
inline constexpr WordKey<LogLevel, 4> kLogLevel{kGlobalSection, "LOG_LEVEL", kLogLevelWords, 0,
                                                LogLevel::fatal};
// A longer name is an error, never cut: a cut name would name another file.
inline constexpr TextKey kLogFileName{kGlobalSection, "LOG_FILENAME", 127, ""};
inline constexpr WordKey<SystemType, 4> kSystemType{kGlobalSection, "SYSTEM_TYPE", kSystemTypeWords,
                                                    0, SystemType::UNIX};
inline constexpr ListKey kFtpUser{kGlobalSection, "FTPUSER", 64, {39, 39, 127}};
// A second listener, for IPv6 clients (such as "::" or "::1"); it shares the client slots.
inline constexpr Address6Key kSystemAddress6{kGlobalSection, "SYSTEM_ADDRESS6"};
// The ports passive sockets are bound to, for a firewall that opens only those.
inline constexpr PortRangeKey kPassivePorts{kGlobalSection, "PASSIVE_PORTS", 1024, 65535};
// The address announced in 227 replies, for a server behind NAT.
inline constexpr AddressKey kPassiveAddress{kGlobalSection, "PASSIVE_ADDRESS",
                                            "<the control connection's address>"};
// Login protections: seconds before a failed PASS is answered, failed PASS commands a
// connection may make (0: no limit), sessions one client address may hold (0: no limit).
inline constexpr NumberKey kLoginFailDelay{kGlobalSection, "LOGIN_FAIL_DELAY", 0, 60, 1};
inline constexpr NumberKey kMaxLoginFailures{kGlobalSection, "MAX_LOGIN_FAILURES", 0, 100, 3};
inline constexpr NumberKey kMaxClientsPerAddress{kGlobalSection, "MAX_CLIENTS_PER_ADDRESS", 0, 32,
                                                 0};

// An account's section, read at every PASS.
inline constexpr TextKey kAccountName{kAccountSection, "NAME", 49, ""};
inline constexpr TextKey kAccountPass{kAccountSection, "PASS", 49, ""};
inline constexpr TextKey kAccountPath{kAccountSection, "PATH", 1024, "/tmp"};
inline constexpr FlagKey kAccountRoot{kAccountSection, "ROOT", 127, false};
inline constexpr FlagKey kAccountReadOnly{kAccountSection, "READONLY", 127, false};
// Any other word, empty included, is UNIX (see system_type_from_name).
inline constexpr WordKey<SystemType, 4> kAccountSys{kAccountSection, "SYS", kSystemTypeWords, 31,
                                                    SystemType::UNIX};
// For desktop and sync clients: names as sent and looked up exactly, "/" as a confined
// account's root, MDTM in UTC, UNIX listings with the year as ls -l writes it. Machine
// controls expect none of that, so it is off unless set.
inline constexpr FlagKey kAccountDesktop{kAccountSection, "DESKTOP", 127, false};

// The account list the manager keeps: the account names, separated by commas, in the
// order the manager lists them. The server does not read it.
inline constexpr std::string_view kUserListSection = "USERLIST";
inline constexpr TextKey kUserList{kUserListSection, "USERS", 4095, "anonymous"};
// The manager's own limit of an account name (the section name must stay findable).
inline constexpr std::size_t kManagerNameChars = 32;

// What the manager completes a file with when it lacks a key, so that a new file holds
// a usable account and the settings the server starts with (the server's own defaults,
// above, are what it assumes for a key that is absent).
struct AccountCompletion {
    std::string_view name, password, path;
    bool confined;
    std::string_view sys;  // written trimmed: "UNIX"
};
inline constexpr AccountCompletion kAccountCompletion{"anonymous", "qelvarbin", "/tmp", true,
                                                      "UNIX  "};
inline constexpr std::string_view kLogLevelCompletion = "NONE";
inline constexpr std::string_view kLogFileCompletion = "kftpd.log";
inline constexpr std::string_view kSystemAddressCompletion = "0.0.0.0";

// The keys of each table in the order the tables are written.
template <typename Visit>
constexpr void for_each_global_key(Visit&& visit) {
    visit(kSystemAddress);
    visit(kSystemPort);
    visit(kIdleTimeout);
    visit(kDataTimeout);
    visit(kLoginTimeout);
    visit(kLogLevel);
    visit(kLogFileName);
    visit(kSystemType);
    visit(kFtpUser);
    visit(kSystemAddress6);
    visit(kPassivePorts);
    visit(kPassiveAddress);
    visit(kLoginFailDelay);
    visit(kMaxLoginFailures);
    visit(kMaxClientsPerAddress);
}

template <typename Visit>
constexpr void for_each_account_key(Visit&& visit) {
    visit(kAccountName);
    visit(kAccountPass);
    visit(kAccountPath);
    visit(kAccountRoot);
    visit(kAccountReadOnly);
    visit(kAccountSys);
    visit(kAccountDesktop);
}

}  // namespace kesto::settings
