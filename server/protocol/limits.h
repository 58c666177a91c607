#pragma once
// Every limit on what a client can make the server hold, in one place.

#include <cstddef>

namespace kesto::server {

inline constexpr int kMaxClients = 32;                   // client slots, and the listen backlog
inline constexpr std::size_t kReplyLineLimit = 250;      // longest reply line or text sent
inline constexpr std::size_t kCommandBufferBytes = 512;  // a line longer than this is refused
inline constexpr std::size_t kCommandLineKept = 255;     // longest command line executed
inline constexpr std::size_t kLoggedBlockBytes = 4096;   // data shown in a send-error line
inline constexpr std::size_t kAddressTextBytes = 64;

}  // namespace kesto::server
