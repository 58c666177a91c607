#include "platform/file_attributes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <ctime>
#include <utility>

namespace kesto::platform {

PathStatus path_status(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return PathStatus{errno};
    return PathStatus{0, S_ISDIR(st.st_mode), st.st_size, st.st_mtim.tv_sec};
}

int make_one_folder(const std::string& path) {
    return ::mkdir(path.c_str(), 0777) == 0 ? 0 : errno;
}

int set_owner_writable(const std::string& path, bool writable) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return errno;
    const mode_t permissions = st.st_mode & 07777;
    const mode_t wanted = writable ? (permissions | S_IWUSR) : (permissions & ~mode_t{S_IWUSR});
    if (wanted == permissions) return 0;
    return ::chmod(path.c_str(), wanted) == 0 ? 0 : errno;
}

int unlink_file(const std::string& path) {
    return ::unlink(path.c_str()) == 0 ? 0 : errno;
}

int set_modification_time(const std::string& path, std::int64_t seconds) {
    timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    if (seconds == kTimeNow) {
        times[1].tv_nsec = UTIME_NOW;
    } else {
        if (!std::in_range<std::time_t>(seconds)) return EINVAL;
        times[1].tv_sec = static_cast<std::time_t>(seconds);
    }
    return ::utimensat(AT_FDCWD, path.c_str(), times, 0) == 0 ? 0 : errno;
}

}  // namespace kesto::platform
