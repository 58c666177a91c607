#include "server/formats/extended_address.h"

#include <charconv>
#include <string>

namespace kesto::server {

namespace {

constexpr std::size_t kLongestAddress = 45;  // the longest IPv6 text form

bool is_delimiter(char c) {
    return c >= 33 && c <= 126 && !(c >= '0' && c <= '9');
}

// A decimal number of at most `max_digits` digits filling all of `text`.
std::optional<unsigned> whole_number(std::string_view text, std::size_t max_digits) {
    if (text.empty() || text.size() > max_digits) return std::nullopt;
    unsigned value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::optional<platform::IpAddress> ipv4_address(std::string_view text) {
    platform::Ipv4Address address;
    for (int i = 0; i < 4; ++i) {
        const std::size_t dot = i < 3 ? text.find('.') : text.size();
        if (dot == std::string_view::npos) return std::nullopt;
        const auto octet = whole_number(text.substr(0, dot), 3);
        if (!octet || *octet > 255) return std::nullopt;
        address.octets[i] = static_cast<std::uint8_t>(*octet);
        text.remove_prefix(i < 3 ? dot + 1 : dot);
    }
    return platform::IpAddress(address);
}

std::optional<platform::IpAddress> ipv6_address(std::string_view text) {
    if (text.empty() || text.size() > kLongestAddress) return std::nullopt;
    return platform::parse_ipv6_address(std::string(text));
}

}  // namespace

std::optional<ExtendedAddress> parse_extended_address(std::string_view argument) {
    if (argument.size() < 2 || !is_delimiter(argument.front())) return std::nullopt;
    const char d = argument.front();
    if (argument.back() != d) return std::nullopt;
    const std::string_view inner = argument.substr(1, argument.size() - 2);
    const std::size_t first = inner.find(d);
    const std::size_t second = first == std::string_view::npos ? first : inner.find(d, first + 1);
    if (second == std::string_view::npos || inner.find(d, second + 1) != std::string_view::npos)
        return std::nullopt;
    const std::string_view family = inner.substr(0, first);
    const std::string_view host = inner.substr(first + 1, second - first - 1);
    if (family != "1" && family != "2" && whole_number(family, 3))
        return ExtendedAddress{false, {}};
    const auto port = whole_number(inner.substr(second + 1), 5);
    if (!port || *port == 0 || *port > 65535) return std::nullopt;
    std::optional<platform::IpAddress> address;
    if (family == "1") address = ipv4_address(host);
    if (family == "2") address = ipv6_address(host);
    if (!address) return std::nullopt;
    return ExtendedAddress{true, {*address, static_cast<std::uint16_t>(*port)}};
}

}  // namespace kesto::server
