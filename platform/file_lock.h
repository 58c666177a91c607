#pragma once
// Exclusive advisory locks between processes, and a cheap fingerprint of a file that
// tells a waiting writer whether the holder of a lock is getting anywhere.

#include <cstdint>
#include <string>

#include "platform/unique_fd.h"

namespace kesto::platform {

// An exclusive lock (flock) on a lock file, held while the object lives. A lock file
// rather than the file it guards, because writers replace that file by renaming.
class FileLock {
  public:
    // 0 when the lock is taken now; EWOULDBLOCK when another process holds it; else
    // the errno of opening or creating the lock file.
    [[nodiscard]] int try_lock(const std::string& lock_path);
    [[nodiscard]] bool is_locked() const { return static_cast<bool>(fd_); }
    void unlock() { fd_.reset(); }

  private:
    UniqueFd fd_;
};

// What changes whenever a file is replaced or rewritten; all zero for a missing file.
struct FileFingerprint {
    std::uint64_t device = 0;
    std::uint64_t inode = 0;
    std::int64_t size = 0;
    std::int64_t modified_ns = 0;
    friend bool operator==(const FileFingerprint&, const FileFingerprint&) = default;
};

[[nodiscard]] FileFingerprint file_fingerprint(const std::string& path);

}  // namespace kesto::platform
