// The configuration scanner on arbitrary files.
#include <cstdint>
#include <string_view>

#include "server/config/server_config.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kesto::server::ServerConfig config;
    const int result = kesto::server::parse_server_config(
        std::string_view(reinterpret_cast<const char*>(data), size), config);
    if (result != 0 && result != 1) __builtin_trap();
    if (config.log_file_name.size() > kesto::server::kMaxLogFileName) __builtin_trap();
    if (config.ftp_users.size() > kesto::server::kMaxFtpUsers) __builtin_trap();
    return 0;
}
