#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "base/ascii.h"
#include "platform/posix/name_lookup.h"

namespace kesto::platform {

namespace {

std::vector<std::string_view> split_components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !ascii::is_path_separator(path[end])) ++end;
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

// Sets `name` to the entry of `folder` it names up to case (see name_lookup.h).
bool match_at_path(const std::string& folder, std::string& name) {
    if (name.empty() || name == "." || name == "..") return true;
    const UniqueFd fd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    return fd && match_entry_any_case(fd.get(), name);
}

FileInfo info_from(const struct stat& st) {
    FileInfo info;
    info.exists = true;
    info.is_directory = S_ISDIR(st.st_mode);
    info.is_regular = S_ISREG(st.st_mode);
    info.is_link = S_ISLNK(st.st_mode);
    info.read_only = (st.st_mode & S_IWUSR) == 0;
    info.permissions = static_cast<std::uint32_t>(st.st_mode & 07777);
    info.size = static_cast<std::int64_t>(st.st_size);
    info.mtime = static_cast<std::int64_t>(st.st_mtime);
    return info;
}

}  // namespace

std::string combine_client_path(std::string_view cwd, std::string_view client_path) {
    std::vector<std::string_view> parts;
    const bool absolute = !client_path.empty() && ascii::is_path_separator(client_path.front());
    if (!absolute) parts = split_components(cwd);
    for (std::string_view part : split_components(client_path)) {
        if (part == ".") continue;
        if (part == "..") {
            if (!parts.empty()) parts.pop_back();
            continue;
        }
        parts.push_back(part);
    }
    std::string result = "/";
    for (std::string_view part : parts) {
        if (result.back() != '/') result += '/';
        result += part;
    }
    return result;
}

bool is_within(std::string_view root, std::string_view path) {
    while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
    if (root == "/") return !path.empty() && path.front() == '/';
    if (path.substr(0, root.size()) != root) return false;
    return path.size() == root.size() || path[root.size()] == '/';
}

std::string path_from_root(std::string_view root, std::string_view path) {
    if (root.empty() || !is_within(root, path)) return {};
    while (root.size() > 1 && root.back() == '/') root.remove_suffix(1);
    if (root != "/") path.remove_prefix(root.size());
    return path.empty() ? std::string("/") : std::string(path);
}

std::string canonical_path(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) != nullptr ? std::string(buf) : std::string();
}

std::string resolve_any_case(const std::string& path) {
    std::string result = (!path.empty() && path.front() == '/') ? "/" : "";
    // Below a component that is not there, no folder exists to search.
    bool searching = true;
    for (std::string_view component : split_components(path)) {
        std::string name(component);
        if (searching) searching = match_at_path(result.empty() ? "." : result, name);
        result = join(result, name);
    }
    return result;
}

UniqueFd open_root_folder(const std::string& path) {
    return UniqueFd(::open(path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
}

Entry entry_at_path(const std::string& path) {
    const auto slash = path.rfind('/');
    const std::string folder = slash == std::string::npos ? "." : path.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    return Entry{UniqueFd(::open(folder.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC)),
                 name.empty() ? "." : name, path, false};
}

FileInfo file_info_in(int folder, const std::string& name, bool follow) {
    struct stat st {};
    if (follow && ::fstatat(folder, name.c_str(), &st, 0) == 0) return info_from(st);
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0) return info_from(st);
    return {};
}

FileInfo file_info(const Entry& entry) {
    if (!entry.folder) return {};
    return file_info_in(entry.folder.get(), entry.name, true);
}

}  // namespace kesto::platform

namespace kesto::platform {

namespace {

int result_of(int rc) {
    return rc == 0 ? 0 : errno;
}

}  // namespace

int make_directory(const Entry& entry) {
    if (!entry.folder) return ENOENT;
    return result_of(::mkdirat(entry.folder.get(), entry.name.c_str(), 0777));
}

int remove_directory(const Entry& entry) {
    if (!entry.folder) return ENOENT;
    return result_of(::unlinkat(entry.folder.get(), entry.name.c_str(), AT_REMOVEDIR));
}

int remove_file(const Entry& entry) {
    if (!entry.folder) return ENOENT;
    return result_of(::unlinkat(entry.folder.get(), entry.name.c_str(), 0));
}

int rename_no_replace(const Entry& from, const Entry& to) {
    if (!from.folder || !to.folder) return ENOENT;
    const int a = from.folder.get(), b = to.folder.get();
    const char* old_name = from.name.c_str();
    const char* new_name = to.name.c_str();
    if (::renameat2(a, old_name, b, new_name, RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without RENAME_NOREPLACE: a hard link fails on a taken name, then the
    // old name goes. Folders cannot be linked; they are renamed after a check.
    struct stat st {};
    if (::fstatat(a, old_name, &st, AT_SYMLINK_NOFOLLOW) != 0) return errno;
    if (S_ISDIR(st.st_mode)) {
        if (::fstatat(b, new_name, &st, AT_SYMLINK_NOFOLLOW) == 0) return EEXIST;
        return result_of(::renameat(a, old_name, b, new_name));
    }
    if (::linkat(a, old_name, b, new_name, 0) != 0) return errno;
    return result_of(::unlinkat(a, old_name, 0));
}

int open_folder(const Entry& entry, UniqueFd& out) {
    if (!entry.folder) return ENOENT;
    out.reset(::openat(entry.folder.get(), entry.name.c_str(),
                       O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    return out ? 0 : errno;
}

int read_folder(int folder, std::vector<std::string>& names) {
    names.clear();
    // A descriptor of its own: closedir closes it, the caller's stays open.
    const int own = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (own < 0) return errno;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(own), ::closedir);
    if (!dir) {
        const int error = errno;
        ::close(own);
        return error;
    }
    while (const dirent* entry = ::readdir(dir.get())) names.emplace_back(entry->d_name);
    return 0;
}

bool can_read_file(const Entry& entry) {
    if (!entry.folder) return false;
    const UniqueFd fd(::openat(entry.folder.get(), entry.name.c_str(),
                               O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW | O_NOCTTY));
    return static_cast<bool>(fd);
}

int create_file_exclusive(const Entry& entry) {
    if (!entry.folder) return ENOENT;
    const UniqueFd fd(::openat(entry.folder.get(), entry.name.c_str(),
                               O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    return fd ? 0 : errno;
}

}  // namespace kesto::platform
