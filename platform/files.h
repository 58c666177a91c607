#pragma once
// The file layer every file command goes through. Paths are seen as a Windows design
// sees them: both separators, names compared without regard to ASCII case (each
// component is looked up exactly first, then among the folder's entries; several
// matches: the first in byte order). The process working folder is never changed:
// each session keeps its own working directory as a path. Thread safe.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kesto::platform {

// The name of the entry of `folder` that is `name` up to case; `name` itself when it
// exists exactly or nothing matches.
[[nodiscard]] std::string find_entry_any_case(const std::string& folder, const std::string& name);

// `path` ('/'-separated, absolute or relative to the process's working folder) with
// every component replaced by the existing entry it names up to case. Components
// that do not exist are kept as written.
[[nodiscard]] std::string resolve_any_case(const std::string& path);

// A client path made absolute against `cwd` with '.' and '..' applied lexically, as on
// Windows ('..' at the root stays there). '/' and '\' both separate; a path that starts
// with either is absolute, and so is every result (a relative `cwd` is taken from the
// root, never from the process's working folder). The result uses '/' and has no
// trailing separator.
[[nodiscard]] std::string combine_client_path(std::string_view cwd, std::string_view client_path);

// `path` is `root` or lies below it, on a component boundary.
[[nodiscard]] bool is_within(std::string_view root, std::string_view path);

// The canonical path (symbolic links resolved); empty when it cannot be resolved.
[[nodiscard]] std::string canonical_path(const std::string& path);

// Where a session stands: its working directory and, for a confined account, the
// canonical folder it may not leave (empty root: not confined).
struct PathScope {
    std::string cwd;
    bool confined = false;
    std::string root;  // canonical; when confined and empty, nothing is reachable
};

enum class PathResult {
    ok,      // `local` names the target (which may not exist)
    denied,  // outside the confined root, or its folder cannot be resolved
};

// Resolves a client path to a local path: combination, case, and for a confined
// scope the canonical form of the result (or of its folder when it does not exist)
// must lie within the root. Symbolic links pointing out of the root are denied.
[[nodiscard]] PathResult resolve_client_path(const PathScope& scope, std::string_view client_path,
                                             std::string& local);

struct FileInfo {
    bool exists = false;
    bool is_directory = false;
    bool is_regular = false;
    bool read_only = false;  // the owner-write bit is clear
    std::int64_t size = 0;
    std::int64_t mtime = 0;
};

// `stat`, or `lstat` for a dangling symbolic link.
[[nodiscard]] FileInfo file_info(const std::string& path);

}  // namespace kesto::platform

namespace kesto::platform {

// File-system changes. Each returns 0 or the errno of the failure.
[[nodiscard]] int make_directory(const std::string& path);
[[nodiscard]] int remove_directory(const std::string& path);
[[nodiscard]] int remove_file(const std::string& path);
// Never replaces an existing target (EEXIST): a rename onto a taken name must not lose it.
[[nodiscard]] int rename_no_replace(const std::string& from, const std::string& to);

// The names in a folder, "." and ".." included where the system reports them.
[[nodiscard]] int read_folder(const std::string& folder, std::vector<std::string>& names);

}  // namespace kesto::platform

namespace kesto::platform {

// The file can be opened for reading now.
[[nodiscard]] bool can_read_file(const std::string& path);

}  // namespace kesto::platform

namespace kesto::platform {

// Creates an empty file that did not exist (O_EXCL); 0, EEXIST or another errno.
[[nodiscard]] int create_file_exclusive(const std::string& path);

}  // namespace kesto::platform
