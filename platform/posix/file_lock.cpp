#include "platform/file_lock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>

#include <cerrno>

namespace kesto::platform {

int FileLock::try_lock(const std::string& lock_path) {
    unlock();
    UniqueFd fd(retry_eintr([&] {
        return ::open(lock_path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    }));
    if (!fd) return errno;
    if (retry_eintr([&] { return ::flock(fd.get(), LOCK_EX | LOCK_NB); }) != 0) return errno;
    fd_ = std::move(fd);
    return 0;
}

FileFingerprint file_fingerprint(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return {};
    return {static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino),
            static_cast<std::int64_t>(st.st_size),
            static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec};
}

}  // namespace kesto::platform
