#include "common/profile_sharing.h"

#include <algorithm>
#include <thread>

#include "base/deadline.h"
#include "platform/errors.h"
#include "platform/file_io.h"
#include "platform/file_lock.h"
#include "profile/profile_file.h"

namespace kesto::common {

namespace {

// One read attempt; a missing file is empty content. A file too large to load counts
// as unreadable: treated as empty, the next change would replace it with almost nothing.
bool read_once(const std::string& path, std::string& content) {
    const platform::ReadResult result =
        platform::read_whole_file(path, content, profile::kMaxProfileBytes);
    if (result == platform::ReadResult::missing) content.clear();
    return result == platform::ReadResult::ok || result == platform::ReadResult::missing;
}

void normalise_content(std::string& content) {
    if (content.size() < 2) content.clear();
    std::replace(content.begin(), content.end(), '\0', ' ');
}

// Takes the lock on the schedule; a holder that changes the file between the first
// and the last attempt is making progress, and the schedule starts again.
bool take_lock(platform::FileLock& lock, const std::string& path) {
    const std::string lock_path = path + ".lock";
    const Deadline give_up(static_cast<int>(
        std::chrono::duration_cast<std::chrono::milliseconds>(kLongestLockWait).count()));
    platform::FileFingerprint seen = platform::file_fingerprint(path);
    for (std::size_t attempt = 0;; ++attempt) {
        const int error = lock.try_lock(lock_path);
        if (error == 0) return true;
        if (!platform::lock_is_busy(error)) return false;
        if (attempt == std::size(kRetryDelays)) {
            const platform::FileFingerprint now = platform::file_fingerprint(path);
            if (now == seen || give_up.passed()) return false;
            seen = now;
            attempt = 0;
        }
        std::this_thread::sleep_for(kRetryDelays[attempt]);
    }
}

}  // namespace

bool load_profile_content(const std::string& path, std::string& content) {
    for (std::size_t attempt = 0;; ++attempt) {
        if (read_once(path, content)) break;
        if (attempt == std::size(kRetryDelays)) {
            content.clear();
            return false;
        }
        std::this_thread::sleep_for(kRetryDelays[attempt]);
    }
    normalise_content(content);
    return true;
}

bool change_profile_file(const std::string& path, const std::function<bool(std::string&)>& edit,
                         unsigned new_file_mode) {
    platform::FileLock lock;
    if (!take_lock(lock, path)) return false;
    std::string content;
    if (!load_profile_content(path, content)) return false;
    if (!edit(content)) return true;
    return platform::write_file_atomically(path, content, new_file_mode) == 0;
}

}  // namespace kesto::common
