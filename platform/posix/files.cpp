#include "platform/files.h"

#include <dirent.h>
#include <sys/stat.h>

#include <memory>

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

}  // namespace

std::string find_entry_any_case(const std::string& folder, const std::string& name) {
    if (name.empty() || name == "." || name == "..") return name;
    if (exists(join(folder.empty() ? "." : folder, name))) return name;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::opendir(folder.empty() ? "." : folder.c_str()),
                                            ::closedir);
    if (!dir) return name;
    std::string best;
    bool found = false;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!equal_ignoring_case(name, entry->d_name)) continue;
        if (!found || best.compare(entry->d_name) > 0) best = entry->d_name;
        found = true;
    }
    return found ? best : name;
}

std::string resolve_any_case(const std::string& path) {
    std::string result = (!path.empty() && path.front() == '/') ? "/" : "";
    std::size_t start = result.size();
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string component = path.substr(start, end - start);
        if (!component.empty()) {
            const std::string folder = result.empty() ? "." : result;
            result = join(result, find_entry_any_case(folder, component));
        }
        start = end + 1;
    }
    return result;
}

}  // namespace kesto::platform
