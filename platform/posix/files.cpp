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

namespace kesto::platform {

namespace {

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool equal_ignoring_case(const std::string& a, const char* b) {
    std::size_t i = 0;
    for (; i < a.size() && b[i] != '\0'; ++i) {
        if (upper(a[i]) != upper(b[i])) return false;
    }
    return i == a.size() && b[i] == '\0';
}

bool exists(const std::string& path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0;
}

std::string join(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    if (folder.back() == '/') return folder + name;
    return folder + "/" + name;
}

bool is_separator(char c) {
    return c == '/' || c == '\\';
}

std::vector<std::string_view> split_components(std::string_view path) {
    std::vector<std::string_view> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = start;
        while (end < path.size() && !is_separator(path[end])) ++end;
        if (end > start) parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

std::pair<std::string, std::string> split_last(const std::string& path) {
    const auto slash = path.rfind('/');
    if (slash == std::string::npos) return {".", path};
    return {slash == 0 ? "/" : path.substr(0, slash), path.substr(slash + 1)};
}

// Sets `name` to the entry it names, exact first, else the first case-insensitive match
// in byte order; false when the folder holds neither.
bool match_entry_any_case(const std::string& folder, std::string& name) {
    if (name.empty() || name == "." || name == "..") return true;
    if (exists(join(folder.empty() ? "." : folder, name))) return true;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                            ::closedir);
    if (!dir) return false;
    std::string best;
    bool found = false;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!equal_ignoring_case(name, entry->d_name)) continue;
        if (!found || best.compare(entry->d_name) > 0) best = entry->d_name;
        found = true;
    }
    if (found) name = best;
    return found;
}

}  // namespace

std::string find_entry_any_case(const std::string& folder, const std::string& name) {
    std::string entry = name;
    match_entry_any_case(folder, entry);
    return entry;
}

std::string resolve_any_case(const std::string& path) {
    std::string result = (!path.empty() && path.front() == '/') ? "/" : "";
    // Below a component that is not there, no folder exists to search: a client's long
    // path of missing names costs no more than its length.
    bool searching = true;
    for (std::string_view component : split_components(path)) {
        std::string name(component);
        if (searching) searching = match_entry_any_case(result.empty() ? "." : result, name);
        result = join(result, name);
    }
    return result;
}

std::string combine_client_path(std::string_view cwd, std::string_view client_path) {
    std::vector<std::string_view> parts;
    const bool absolute = !client_path.empty() && is_separator(client_path.front());
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

std::string canonical_path(const std::string& path) {
    char buf[PATH_MAX];
    return ::realpath(path.c_str(), buf) != nullptr ? std::string(buf) : std::string();
}

PathResult resolve_client_path(const PathScope& scope, std::string_view client_path,
                               std::string& local) {
    local = resolve_any_case(combine_client_path(scope.cwd, client_path));
    if (!scope.confined) return PathResult::ok;
    if (scope.root.empty()) return PathResult::denied;
    if (exists(local)) {
        // The target itself, links followed; a dangling link cannot be checked.
        const std::string real = canonical_path(local);
        // A link keeps its own name, so DELE and RNFR act on the link, not on its target.
        return (!real.empty() && is_within(scope.root, real)) ? PathResult::ok : PathResult::denied;
    }
    const auto [folder, name] = split_last(local);
    const std::string real_folder = canonical_path(folder);
    if (real_folder.empty() || !is_within(scope.root, real_folder)) return PathResult::denied;
    local = join(real_folder, name);
    return PathResult::ok;
}

FileInfo file_info(const std::string& path) {
    struct stat st {};
    FileInfo info;
    if (::stat(path.c_str(), &st) != 0 && ::lstat(path.c_str(), &st) != 0) return info;
    info.exists = true;
    info.is_directory = S_ISDIR(st.st_mode);
    info.is_regular = S_ISREG(st.st_mode);
    info.read_only = (st.st_mode & S_IWUSR) == 0;
    info.size = static_cast<std::int64_t>(st.st_size);
    info.mtime = static_cast<std::int64_t>(st.st_mtime);
    return info;
}

}  // namespace kesto::platform

namespace kesto::platform {

namespace {

int result_of(int rc) {
    return rc == 0 ? 0 : errno;
}

}  // namespace

int make_directory(const std::string& path) {
    return result_of(::mkdir(path.c_str(), 0777));
}

int remove_directory(const std::string& path) {
    return result_of(::rmdir(path.c_str()));
}

int remove_file(const std::string& path) {
    return result_of(::unlink(path.c_str()));
}

int rename_no_replace(const std::string& from, const std::string& to) {
    if (::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    // File systems without RENAME_NOREPLACE: a hard link fails on a taken name, then the
    // old name goes. Folders cannot be linked; they are renamed after a check.
    struct stat st {};
    if (::lstat(from.c_str(), &st) != 0) return errno;
    if (S_ISDIR(st.st_mode)) {
        if (::lstat(to.c_str(), &st) == 0) return EEXIST;
        return result_of(::rename(from.c_str(), to.c_str()));
    }
    if (::link(from.c_str(), to.c_str()) != 0) return errno;
    return result_of(::unlink(from.c_str()));
}

int read_folder(const std::string& folder, std::vector<std::string>& names) {
    names.clear();
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.c_str()), ::closedir);
    if (!dir) return errno;
    while (const dirent* entry = ::readdir(dir.get())) names.emplace_back(entry->d_name);
    return 0;
}

}  // namespace kesto::platform

namespace kesto::platform {

bool can_read_file(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) return false;
    ::close(fd);
    return true;
}

}  // namespace kesto::platform

namespace kesto::platform {

int create_file_exclusive(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0) return errno;
    ::close(fd);
    return 0;
}

}  // namespace kesto::platform
