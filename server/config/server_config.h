#pragma once
// The server's global settings, read once at start-up from the configuration file.
// Written by the start-up thread before any other thread exists; read-only afterwards.

#include <cstdint>
#include <string>
#include <string_view>

#include "settings/records.h"

namespace kesto::server {

using settings::FtpUserEntry;
using settings::LogLevel;
using settings::ServerConfig;
using settings::SystemType;

inline constexpr std::size_t kMaxFtpUsers = settings::kFtpUser.max_entries;
inline constexpr std::size_t kMaxLogFileName = settings::kLogFileName.max_chars;
inline constexpr std::size_t kConfigLineChars = 254;  // a longer line is read as several

// The limit before login in seconds: LOGIN_TIMEOUT, or IDLE_TIMEOUT where that is set
// and shorter.
[[nodiscard]] int login_limit_seconds(const ServerConfig& config);

// Scans the file line by line whatever its sections. Returns 0 when the file was
// read and every recognised line was well formed, 1 otherwise.
[[nodiscard]] int load_server_config(const std::string& path, ServerConfig& config);

// The same scan over text already in memory.
[[nodiscard]] int parse_server_config(std::string_view content, ServerConfig& config);

}  // namespace kesto::server
