#include "platform/file_io.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

#include "platform/file_transfer.h"
#include "platform/files.h"
#include "platform/unique_fd.h"

namespace kesto::platform {

namespace {

std::string folder_of(const std::string& path) {
    auto slash = path.rfind('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

// The real file behind `path`: links are followed so the link itself survives.
std::string resolve_target(const std::string& path) {
    std::string real = canonical_path(path);
    return real.empty() ? path : real;
}

void sync_folder(const std::string& folder) {
    UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir) (void)::fsync(dir.get());
}

}  // namespace

ReadResult read_whole_file(const std::string& path, std::string& out, std::size_t max_bytes) {
    out.clear();
    UniqueFd fd(retry_eintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (!fd) return errno == ENOENT ? ReadResult::missing : ReadResult::failed;
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return ReadResult::failed;
    if (static_cast<std::size_t>(st.st_size) > max_bytes) return ReadResult::too_large;
    out.resize(static_cast<std::size_t>(st.st_size));
    std::size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::read(fd.get(), out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return ReadResult::failed;
        if (n == 0) break;  // the file shrank while we read: take what is there
        got += static_cast<std::size_t>(n);
    }
    out.resize(got);
    return ReadResult::ok;
}

FileTail read_file_tail(const std::string& path, std::uint64_t offset, std::size_t max_bytes) {
    FileTail tail;
    UniqueFd fd(retry_eintr([&] { return ::open(path.c_str(), O_RDONLY | O_CLOEXEC); }));
    if (!fd) {
        tail.result = errno == ENOENT ? ReadResult::missing : ReadResult::failed;
        return tail;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return tail;
    const auto size = static_cast<std::uint64_t>(st.st_size);
    tail.start = size < offset ? 0 : offset;
    if (size - tail.start > max_bytes) tail.start = size - max_bytes;
    tail.bytes.resize(static_cast<std::size_t>(size - tail.start));
    std::size_t got = 0;
    while (got < tail.bytes.size()) {
        const ssize_t n = retry_eintr([&] {
            return ::pread(fd.get(), tail.bytes.data() + got, tail.bytes.size() - got,
                           static_cast<off_t>(tail.start + got));
        });
        if (n < 0) return tail;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    tail.bytes.resize(got);
    tail.result = ReadResult::ok;
    return tail;
}

namespace {

// Writes `content` to a temporary file beside `target`, gives it `mode` (and the
// owner, where allowed) and renames it over `target`.
int write_and_rename(const std::string& target, std::string_view content, mode_t mode,
                     const struct stat* owner) {
    std::string temp = target + ".XXXXXX";
    UniqueFd fd(::mkostemp(temp.data(), O_CLOEXEC));
    if (!fd) return errno;
    int err = write_file(fd.get(), content.data(), content.size());
    if (err == 0 && ::fchmod(fd.get(), mode) != 0) err = errno;
    if (err == 0 && owner != nullptr) {
        (void)::fchown(fd.get(), owner->st_uid, owner->st_gid);  // only root can give away
    }
    if (err == 0 && ::fsync(fd.get()) != 0) err = errno;
    if (err == 0 && ::rename(temp.c_str(), target.c_str()) != 0) err = errno;
    if (err != 0) {
        ::unlink(temp.c_str());
        return err;
    }
    sync_folder(folder_of(target));
    return 0;
}

}  // namespace

int replace_file_atomically(const std::string& path, std::string_view content) {
    const std::string target = resolve_target(path);
    struct stat old {};
    if (::stat(target.c_str(), &old) != 0) return errno;
    return write_and_rename(target, content, old.st_mode & 07777, &old);
}

int write_file_atomically(const std::string& path, std::string_view content,
                          unsigned new_file_mode) {
    const std::string target = resolve_target(path);
    struct stat old {};
    if (::stat(target.c_str(), &old) == 0)
        return write_and_rename(target, content, old.st_mode & 07777, &old);
    if (errno != ENOENT) return errno;
    return write_and_rename(target, content, static_cast<mode_t>(new_file_mode), nullptr);
}

}  // namespace kesto::platform

namespace kesto::platform {

int AppendFile::open(const std::string& path) {
    close();
    fd_ = retry_eintr(
        [&] { return ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644); });
    return fd_ < 0 ? errno : 0;
}

bool is_disk_full(int error) {
    return error == ENOSPC || error == EDQUOT;
}

AppendResult AppendFile::write_line(std::string_view line) {
    AppendResult result;
    if (fd_ < 0) return {0, EBADF};
    while (result.written < line.size()) {
        const std::string_view rest = line.substr(result.written);
        const ssize_t n = retry_eintr([&] { return ::write(fd_, rest.data(), rest.size()); });
        if (n <= 0) {
            result.error = n < 0 ? errno : EIO;
            break;
        }
        result.written += static_cast<std::size_t>(n);
    }
    return result;
}

void AppendFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace kesto::platform
