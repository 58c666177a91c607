#pragma once
// The few file calls the manager's helpers make on plain local paths (symbolic links
// followed). Each returns the system's error number, 0 for none.

#include <cstdint>
#include <string>

namespace kesto::platform {

// What the system tells of a path.
struct PathStatus {
    int error = 0;  // 0: the path exists and the fields below describe it
    bool is_folder = false;
    std::int64_t size = 0;
    std::int64_t write_time = 0;  // seconds since the epoch
};

[[nodiscard]] PathStatus path_status(const std::string& path);

// Creates one folder (its parent must exist), with the usual permissions less the umask.
[[nodiscard]] int make_one_folder(const std::string& path);

// Sets or clears the owner's write permission: the read-only attribute on Linux.
[[nodiscard]] int set_owner_writable(const std::string& path, bool writable);

// Removes a file; a folder is refused (EISDIR).
[[nodiscard]] int unlink_file(const std::string& path);

inline constexpr std::int64_t kTimeNow = -1;

// Sets the modification time (seconds since the epoch, or kTimeNow) of a file or a
// folder; the access time stays as it is.
[[nodiscard]] int set_modification_time(const std::string& path, std::int64_t seconds);

}  // namespace kesto::platform
