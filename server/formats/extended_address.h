#pragma once
// The argument of EPRT (RFC 2428): "<d><family><d><address><d><port><d>", where <d> is
// any printable ASCII character but a digit, family 1 is IPv4 and 2 is IPv6.

#include <optional>
#include <string_view>

#include "platform/net.h"

namespace kesto::server {

struct ExtendedAddress {
    bool family_known = true;  // false: a family number other than 1 and 2 (RFC 2428: 522)
    platform::Endpoint endpoint;
};

// Nothing unless the argument has exactly that form, a dotted IPv4 address of four
// decimal parts or an IPv6 address, and a decimal port of 1..65535. Another family
// number gives a result with family_known false and no endpoint.
[[nodiscard]] std::optional<ExtendedAddress> parse_extended_address(std::string_view argument);

}  // namespace kesto::server
