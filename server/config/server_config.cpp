#include "server/config/server_config.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <optional>

#include "base/ascii.h"
#include "platform/file_io.h"

namespace kesto::server {

namespace {

// Configuration files are small; a larger one is not a configuration file.
constexpr std::size_t kMaxConfigBytes = 4 * 1024 * 1024;

bool is_space(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// Every whitespace character removed, a to z upper-cased.
std::string normalise(std::string_view line) {
    std::string out;
    out.reserve(line.size());
    for (char c : line) {
        if (is_space(c)) continue;
        out += ascii::to_upper(c);
    }
    return out;
}

// One "%d" as sscanf reads it: optional sign, digits; the low eight bits of the value.
bool read_octet(std::string_view& text, std::uint8_t& octet) {
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    const std::size_t digits = i;
    unsigned value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = (value * 10 + static_cast<unsigned>(text[i] - '0')) & 0xFFu;
    }
    if (i == digits) return false;
    octet = static_cast<std::uint8_t>(negative ? (0x100u - value) & 0xFFu : value);
    text.remove_prefix(i);
    return true;
}

bool parse_address(std::string_view value, platform::Ipv4Address& address) {
    platform::Ipv4Address parsed;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (value.empty() || value.front() != '.') return false;
            value.remove_prefix(1);
        }
        if (!read_octet(value, parsed.octets[i])) return false;
    }
    address = parsed;
    return true;
}

// The new address keys are read strictly: four decimal parts of 0..255, nothing else.
bool parse_strict_address(std::string_view value, std::optional<platform::Ipv4Address>& address) {
    platform::Ipv4Address parsed;
    for (int i = 0; i < 4; ++i) {
        if (i > 0) {
            if (!value.starts_with('.')) return false;
            value.remove_prefix(1);
        }
        unsigned octet = 0;
        const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), octet);
        const auto digits = static_cast<std::size_t>(end - value.data());
        if (ec != std::errc() || digits == 0 || digits > 3 || octet > 255) return false;
        parsed.octets[i] = static_cast<std::uint8_t>(octet);
        value.remove_prefix(digits);
    }
    if (!value.empty()) return false;
    address = parsed;
    return true;
}

// Empty means no IPv6 listener; a zone ("%eth0") is not taken.
bool parse_address6(std::string_view value, std::optional<platform::IpAddress>& address) {
    if (value.empty()) {
        address.reset();
        return true;
    }
    const auto parsed = platform::parse_ipv6_address(std::string(value));
    if (!parsed) return false;
    address = *parsed;
    return true;
}

bool parse_number(std::string_view value, long low, long high, long& out) {
    long parsed = 0;
    const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (ec != std::errc() || end != value.data() + value.size()) return false;
    if (parsed < low || parsed > high) return false;
    out = parsed;
    return true;
}

bool parse_port_range(std::string_view value, platform::PortRange& ports) {
    using settings::kPassivePorts;
    const auto dash = value.find('-');
    if (dash == std::string_view::npos) return false;
    long low = 0;
    long high = 0;
    if (!parse_number(value.substr(0, dash), kPassivePorts.low, kPassivePorts.high, low) ||
        !parse_number(value.substr(dash + 1), low, kPassivePorts.high, high)) {
        return false;
    }
    ports = {static_cast<std::uint16_t>(low), static_cast<std::uint16_t>(high)};
    return true;
}

bool parse_ftp_user(std::string_view value, std::vector<FtpUserEntry>& users) {
    using settings::kFtpUser;
    if (users.size() >= kFtpUser.max_entries) return false;
    std::vector<std::string> tokens;
    while (!value.empty()) {
        const auto comma = value.find(',');
        const std::string_view token = value.substr(0, comma);
        if (!token.empty() && tokens.size() < 3) tokens.emplace_back(token);
        if (comma == std::string_view::npos) break;
        value.remove_prefix(comma + 1);
    }
    tokens.resize(3);
    // The entry counts even when tokens are missing, as the table has always done.
    users.push_back({tokens[0].substr(0, kFtpUser.token_chars[0]),
                     tokens[1].substr(0, kFtpUser.token_chars[1]),
                     tokens[2].substr(0, kFtpUser.token_chars[2])});
    return !tokens[2].empty();
}

bool apply_number(std::string_view value, const settings::NumberKey& key, auto& field) {
    long n = 0;
    if (!parse_number(value, key.low, key.high, n)) return false;
    field = static_cast<std::remove_reference_t<decltype(field)>>(n);
    return true;
}

// A longer value is refused, never cut: a cut file name would name another file.
bool apply_text(std::string_view value, const settings::TextKey& key, std::string& field) {
    if (value.size() > key.max_chars) return false;
    field = std::string(value);
    return true;
}

enum class LineResult { ok, bad, unknown };

using settings::kDataTimeout;
using settings::kFtpUser;
using settings::kIdleTimeout;
using settings::kLogFileName;
using settings::kLoginFailDelay;
using settings::kLoginTimeout;
using settings::kLogLevel;
using settings::kMaxClientsPerAddress;
using settings::kMaxLoginFailures;
using settings::kPassiveAddress;
using settings::kPassivePorts;
using settings::kSystemAddress;
using settings::kSystemAddress6;
using settings::kSystemPort;
using settings::kSystemType;

struct GlobalLine {
    std::string_view name;  // the key as a line begins with it, "=" following
    bool (*apply)(std::string_view value, ServerConfig& config);
    bool empty_allowed = false;  // an empty value is a value of its own, not an error
};

// The GLOBAL keys the scanner recognises, in the order it tries them.
constexpr GlobalLine kGlobalLines[] = {
    {kSystemAddress.name, [](auto v, auto& c) { return parse_address(v, c.bind_address); }},
    {kSystemType.name,
     [](auto v, auto& c) { return settings::find_word(kSystemType.words, v, c.system_type); }},
    {kLogLevel.name,
     [](auto v, auto& c) { return settings::find_word(kLogLevel.words, v, c.log_level); }},
    {kLogFileName.name,
     [](auto v, auto& c) { return apply_text(v, kLogFileName, c.log_file_name); }},
    {kFtpUser.name, [](auto v, auto& c) { return parse_ftp_user(v, c.ftp_users); }},
    {kSystemPort.name, [](auto v, auto& c) { return apply_number(v, kSystemPort, c.port); }},
    {kIdleTimeout.name,
     [](auto v, auto& c) { return apply_number(v, kIdleTimeout, c.idle_timeout_seconds); }},
    {kDataTimeout.name,
     [](auto v, auto& c) { return apply_number(v, kDataTimeout, c.data_timeout_seconds); }},
    {kLoginTimeout.name,
     [](auto v, auto& c) { return apply_number(v, kLoginTimeout, c.login_timeout_seconds); }},
    {kSystemAddress6.name, [](auto v, auto& c) { return parse_address6(v, c.bind_address6); },
     true},
    {kPassivePorts.name, [](auto v, auto& c) { return parse_port_range(v, c.passive_ports); }},
    {kPassiveAddress.name,
     [](auto v, auto& c) { return parse_strict_address(v, c.passive_address); }},
    {kLoginFailDelay.name,
     [](auto v, auto& c) { return apply_number(v, kLoginFailDelay, c.login_fail_delay_seconds); }},
    {kMaxLoginFailures.name,
     [](auto v, auto& c) { return apply_number(v, kMaxLoginFailures, c.max_login_failures); }},
    {kMaxClientsPerAddress.name,
     [](auto v, auto& c) {
         return apply_number(v, kMaxClientsPerAddress, c.max_clients_per_address);
     }},
};

LineResult apply_line(std::string_view line, ServerConfig& config) {
    for (const GlobalLine& key : kGlobalLines) {
        if (!line.starts_with(key.name) || line.substr(key.name.size(), 1) != "=") continue;
        const std::string_view value = line.substr(key.name.size() + 1);
        if (value.empty() && !key.empty_allowed) return LineResult::bad;
        return key.apply(value, config) ? LineResult::ok : LineResult::bad;
    }
    return LineResult::unknown;
}

// The next line as a reader with a 254-character limit sees it (line end included).
std::string_view next_piece(std::string_view& content) {
    std::size_t n = std::min(content.find('\n'), content.size());
    if (n < content.size()) ++n;
    n = std::min(n, kConfigLineChars);
    const std::string_view piece = content.substr(0, n);
    content.remove_prefix(n);
    return piece;
}

}  // namespace

int login_limit_seconds(const ServerConfig& config) {
    const int idle = config.idle_timeout_seconds;
    return idle > 0 ? std::min(idle, config.login_timeout_seconds) : config.login_timeout_seconds;
}

int parse_server_config(std::string_view content, ServerConfig& config) {
    bool error = false;
    while (!content.empty()) {
        const std::string line = normalise(next_piece(content));
        const LineResult result = apply_line(line, config);
        if (result == LineResult::bad) error = true;
        if (result == LineResult::unknown && error) break;
    }
    return error ? 1 : 0;
}

int load_server_config(const std::string& path, ServerConfig& config) {
    std::string content;
    if (platform::read_whole_file(path, content, kMaxConfigBytes) != platform::ReadResult::ok) {
        return 1;
    }
    return parse_server_config(content, config);
}

}  // namespace kesto::server
