#pragma once
// The file layer every file command goes through. Paths are seen as Windows sees them,
// as the server's clients expect: both separators, names compared without regard to
// ASCII case (each component is looked up exactly first, then among the folder's
// entries; several matches: the first in byte order); for desktop clients names are
// looked up exactly, as on any Linux server. The process working folder is
// never changed: each session keeps its own working directory as a path.
//
// A client path is resolved once, through descriptors: the walk starts at a held
// descriptor of the session's root folder, opens each folder relative to the one
// before, follows symbolic links by hand (never past the root) and ends with the
// descriptor of the folder that holds the target and the target's name there. Every
// operation then acts through that descriptor, so a folder that is renamed or swapped
// for a link between the check and the use cannot carry it out of the root.
// Thread safe.

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/unique_fd.h"

namespace kesto::platform {

// A client path made absolute against `cwd` with '.' and '..' applied lexically, as on
// Windows ('..' at the root stays there). '/' and '\' both separate; a path that starts
// with either is absolute, and so is every result (a relative `cwd` is taken from the
// root, never from the process's working folder). The result uses '/' and has no
// trailing separator.
[[nodiscard]] std::string combine_client_path(std::string_view cwd, std::string_view client_path);

// `path` is `root` or lies below it, on a component boundary.
[[nodiscard]] bool is_within(std::string_view root, std::string_view path);

// `path` as a client sees it whose "/" is `root`: "/" for the root itself, "/a/b" for
// a path below it; empty when `path` does not lie within `root`.
[[nodiscard]] std::string path_from_root(std::string_view root, std::string_view path);

// The canonical path (symbolic links resolved); empty when it cannot be resolved.
[[nodiscard]] std::string canonical_path(const std::string& path);

// `path` ('/'-separated, absolute or relative to the process's working folder) with
// every component replaced by the existing entry it names up to case. Components
// that do not exist are kept as written. For the server's own files (the log), whose
// configured names arrive upper-cased; client paths resolve through resolve_client_path.
[[nodiscard]] std::string resolve_any_case(const std::string& path);

// A descriptor of the folder at `path` that paths are resolved from; empty when it is
// no folder.
[[nodiscard]] UniqueFd open_root_folder(const std::string& path);

// Where a session stands: its working directory and the folder it resolves from. A
// confined account may not leave `root`; an account that is not confined resolves
// from the file system's root ("/").
struct PathScope {
    std::string cwd;  // a local path, also where the client sees the root as "/"
    bool confined = false;
    std::string root;      // canonical; when confined and empty, nothing is reachable
    int root_folder = -1;  // the held descriptor of `root` (of "/" when not confined)
    // Names are looked up exactly as given, not up to case (desktop clients).
    bool exact_case = false;
    // Confined only: client paths start at `root`, which the client sees as "/", so an
    // absolute path names a place below it and '..' at it stays there.
    bool root_is_slash = false;
};

// An entry of a held folder: what a resolution hands to the operations below.
struct Entry {
    UniqueFd folder;       // the folder that holds the entry; empty when it does not exist
    std::string name;      // the entry's name there; "." for the folder itself
    std::string path;      // the local path, for working directories and traces
    bool is_root = false;  // the entry is the scope's root folder itself
};

// The entry a plain local path names (tests and tools, never client input).
[[nodiscard]] Entry entry_at_path(const std::string& path);

enum class PathResult {
    ok,      // `entry` names the target (which may not exist)
    denied,  // outside the confined root, or its folder cannot be resolved
};

// Whether a final symbolic link is followed: transfers, listings and folder changes
// act on its target; DELE, RNFR, RNTO and MKD on the link itself. Either way a link
// whose target lies outside a confined root, or cannot be checked, is denied.
enum class Follow { final_link, not_final_link };

// Resolves a client path in `scope`: combination, case, links, and for a confined
// scope the rule that nothing outside the root is reached.
[[nodiscard]] PathResult resolve_client_path(const PathScope& scope, std::string_view client_path,
                                             Follow follow, Entry& entry);

struct FileInfo {
    bool exists = false;
    bool is_directory = false;
    bool is_regular = false;
    bool is_link = false;           // only where the entry's own status was asked for
    bool read_only = false;         // the owner-write bit is clear
    std::uint32_t permissions = 0;  // the mode's permission bits (07777)
    std::int64_t size = 0;
    std::int64_t mtime = 0;
};

// `stat` of the entry, or `lstat` for a dangling symbolic link.
[[nodiscard]] FileInfo file_info(const Entry& entry);
// The status of `name` in the open `folder`: its target's for a link when `follow`.
[[nodiscard]] FileInfo file_info_in(int folder, const std::string& name, bool follow);

}  // namespace kesto::platform

namespace kesto::platform {

// File-system changes on resolved entries. Each returns 0 or the errno of the failure;
// a final component is never followed.
[[nodiscard]] int make_directory(const Entry& entry);
[[nodiscard]] int remove_directory(const Entry& entry);
[[nodiscard]] int remove_file(const Entry& entry);
// Never replaces an existing target (EEXIST): a rename onto a taken name must not lose it.
[[nodiscard]] int rename_no_replace(const Entry& from, const Entry& to);

// Opens the folder an entry names for reading its names; 0 or errno.
[[nodiscard]] int open_folder(const Entry& entry, UniqueFd& out);
// The names in an open folder, "." and ".." included where the system reports them.
[[nodiscard]] int read_folder(int folder, std::vector<std::string>& names);

// The entry can be opened for reading now.
[[nodiscard]] bool can_read_file(const Entry& entry);

// Creates an empty file that did not exist (O_EXCL); 0, EEXIST or another errno.
[[nodiscard]] int create_file_exclusive(const Entry& entry);

}  // namespace kesto::platform
