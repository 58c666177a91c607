#pragma once
// The caller's folder buffer of SelectDirectory: a fixed 1025 bytes that may arrive
// unterminated, so every read and write here stays inside it.

#include <cstddef>
#include <string>
#include <string_view>

namespace kesto::wayfinder {

inline constexpr std::size_t kFolderBufferBytes = 1025;
// The longest folder the buffer holds: its last byte is the terminating zero.
inline constexpr std::size_t kMaxFolderBytes = kFolderBufferBytes - 1;

// The text in the buffer up to its first zero, at most kMaxFolderBytes bytes.
[[nodiscard]] std::string read_folder(const char* buffer);

// `folder` without trailing '/', the root "/" excepted (it has no other name).
[[nodiscard]] std::string_view without_trailing_slashes(std::string_view folder);

// Writes `folder` and its terminating zero into the buffer. False, and the buffer left
// as it was, when it does not fit.
[[nodiscard]] bool write_folder(std::string_view folder, char* buffer);

}  // namespace kesto::wayfinder
