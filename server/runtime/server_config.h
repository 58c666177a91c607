#pragma once
// The server's global settings, read once at start-up from the configuration file.
// Written by the start-up thread before any other thread exists; read-only afterwards.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/net.h"
#include "server/formats/listing_format.h"

namespace kesto::server {

enum class LogLevel : int { none = 1, fatal = 2, informational = 3, extreme = 4 };
using formats::SystemType;

struct FtpUserEntry {
    std::string first, second, third;
};

inline constexpr std::size_t kMaxFtpUsers = 64;
inline constexpr std::size_t kMaxLogFileName = 127;
inline constexpr std::size_t kConfigLineChars = 254;  // a longer line is read as several

struct ServerConfig {
    platform::Ipv4Address bind_address;  // all zero: every local address
    SystemType system_type = SystemType::UNIX;
    LogLevel log_level = LogLevel::fatal;
    std::string log_file_name;
    std::vector<FtpUserEntry> ftp_users;  // up to kMaxFtpUsers; read but not used
    std::uint16_t port = 21;
    int idle_timeout_seconds = 900;  // 0: none
    int data_timeout_seconds = 60;
    int login_timeout_seconds = 60;  // before login; never longer than a set idle limit
};

// The limit before login in seconds: LOGIN_TIMEOUT, or IDLE_TIMEOUT where that is set
// and shorter.
[[nodiscard]] int login_limit_seconds(const ServerConfig& config);

// Scans the file line by line whatever its sections. Returns 0 when the file was
// read and every recognised line was well formed, 1 otherwise.
[[nodiscard]] int load_server_config(const std::string& path, ServerConfig& config);

// The same scan over text already in memory.
[[nodiscard]] int parse_server_config(std::string_view content, ServerConfig& config);

}  // namespace kesto::server
