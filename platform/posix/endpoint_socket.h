#pragma once
// What both sides of the control endpoint share: the socket address of a name, the
// peer's user id and the answers.

#include <sys/socket.h>
#include <sys/un.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace kesto::platform::endpoint {

inline constexpr std::size_t kAnswerSize = 4;
inline constexpr std::string_view kPresent = "KFTP";
inline constexpr std::string_view kStopped = "STOP";
inline constexpr std::string_view kRefused = "DENY";

// The abstract address of `name`; returns the address length.
socklen_t make_address(const std::string& name, sockaddr_un& address);

// The user id of the process at the other end of `socket` (for a client: the one that
// created the listening socket). False when it cannot be read.
[[nodiscard]] bool peer_uid(int socket, std::uint32_t& uid);

// Our own user id, as peers are compared with it.
[[nodiscard]] std::uint32_t own_uid();

}  // namespace kesto::platform::endpoint
