#pragma once
// The typed records the configuration is read into, with the defaults of the key table.

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/net.h"
#include "settings/keys.h"

namespace kesto::settings {

struct FtpUserEntry {
    std::string first, second, third;
};

// The GLOBAL section as the server uses it. FTPUSER entries are read but not used.
struct ServerConfig {
    platform::Ipv4Address bind_address;  // all zero: every local address
    SystemType system_type = kSystemType.fallback;
    LogLevel log_level = kLogLevel.fallback;
    std::string log_file_name;
    std::vector<FtpUserEntry> ftp_users;  // up to kFtpUser.max_entries
    std::uint16_t port = static_cast<std::uint16_t>(kSystemPort.fallback);
    int idle_timeout_seconds = static_cast<int>(kIdleTimeout.fallback);  // 0: none
    int data_timeout_seconds = static_cast<int>(kDataTimeout.fallback);
    // Before login; never longer than a set idle limit (see login_limit_seconds).
    int login_timeout_seconds = static_cast<int>(kLoginTimeout.fallback);
    std::optional<platform::IpAddress> bind_address6;      // none: no IPv6 listener
    platform::PortRange passive_ports;                     // low 0: any port
    std::optional<platform::Ipv4Address> passive_address;  // none: the control's address
    int login_fail_delay_seconds = static_cast<int>(kLoginFailDelay.fallback);
    int max_login_failures = static_cast<int>(kMaxLoginFailures.fallback);           // 0: no limit
    int max_clients_per_address = static_cast<int>(kMaxClientsPerAddress.fallback);  // 0: none
};

// One account section.
struct Account {
    std::string section;  // "USER<name>"
    std::string name;
    std::string password;
    std::string path;
    bool path_too_long = false;             // PATH is longer than kAccountPath.max_chars
    bool confined = kAccountRoot.fallback;  // ROOT: the account stays below PATH
    bool read_only = kAccountReadOnly.fallback;
    std::string sys;
    SystemType system_type = kAccountSys.fallback;
    bool desktop = kAccountDesktop.fallback;  // DESKTOP: the rules of desktop clients
};

}  // namespace kesto::settings
