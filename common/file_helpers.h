#pragma once
// Small file and folder helpers for the manager's dialogs. Paths are absolute local
// paths ('/'-separated); symbolic links are followed. Every unsigned result is a
// library error code (common/error_codes.h): 0 for success, otherwise the number of
// the catalogue text that describes the failure.

#include <cstdint>
#include <string_view>

namespace kesto::common {

// Creates the folder and every missing folder above it. A path without any '/' gives
// kInvalidName; a relative path gives kCannotMake, as does a path naming something that
// is no folder; an existing folder (and "/") gives 0. A trailing '/' is allowed. When
// a folder on the way is missing it is created first; a failure there is returned, and
// a failure to examine the path (a file where a folder is expected: folder name
// invalid) is returned as it is.
[[nodiscard]] unsigned make_folder(std::string_view path);

// The path exists and is not a folder.
[[nodiscard]] bool is_file(std::string_view path);
// The path exists and is a folder.
[[nodiscard]] bool is_folder(std::string_view path);

// Sets (true) or clears the read-only attribute: on Linux a clear owner-write bit, the
// rule the server also applies.
[[nodiscard]] unsigned set_read_only(std::string_view path, bool read_only);

// Makes the file writable, then deletes it. An empty path returns 0 at once. A folder
// is never removed (kAccessDenied, as a file deletion of a folder fails on Windows) and
// keeps its attributes.
[[nodiscard]] unsigned delete_file(std::string_view path);

// The size of the file in bytes; 0 when it cannot be examined or is a folder.
[[nodiscard]] std::int64_t file_size(std::string_view path);

// The last-write time in seconds since the epoch (shown in local time); 0 when unknown.
[[nodiscard]] std::int64_t file_write_time(std::string_view path);

inline constexpr std::int64_t kNow = -1;

// Sets the last-write time (seconds since the epoch, or kNow) of a file or a folder.
[[nodiscard]] unsigned set_write_time(std::string_view path, std::int64_t seconds);

// Linux file systems keep a creation time at most as a read-only birth time, so it
// cannot be set: this always returns kGeneralFailure and touches nothing. Not
// kAccessDenied, which would send the user looking for a permission no setting could
// grant.
[[nodiscard]] unsigned set_creation_time(std::string_view path, std::int64_t seconds);

}  // namespace kesto::common
