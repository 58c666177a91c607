#pragma once
// Every limit on what a client can make the server hold, in one place.

#include <cstddef>

namespace kesto::server {

inline constexpr int kMaxClients = 32;               // client slots, and the listen backlog
inline constexpr std::size_t kReplyLineLimit = 250;  // longest reply line or text sent
inline constexpr std::size_t kReplyTextLimit = kReplyLineLimit - 6;  // code, blank and CR LF
inline constexpr std::size_t kCommandBufferBytes = 512;  // a line longer than this is refused
inline constexpr std::size_t kCommandLineKept = 255;     // longest command line executed
inline constexpr std::size_t kLoggedBlockBytes = 4096;   // data shown in a send-error line
inline constexpr std::size_t kAddressTextBytes = 64;
inline constexpr std::size_t kMaxLoginLine = 99;  // longest USER or PASS line accepted
inline constexpr std::size_t kTransferBlockBytes = 256 * 1024;  // file data in one block
inline constexpr std::size_t kListingBlockBytes = 64 * 1024;    // listing lines sent at once

}  // namespace kesto::server
