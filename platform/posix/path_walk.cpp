// Resolution of client paths through descriptors (see files.h). The walk keeps a stack
// of the folders it has entered, each held open, so '..' inside a link target goes
// back to the folder it came from and never above the root, and no later change of
// a name on the way can move a step that has been taken.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <deque>
#include <memory>
#include <vector>

#include "base/ascii.h"
#include "platform/files.h"
#include "platform/posix/name_lookup.h"

namespace kesto::platform {

namespace {

// As the kernel's own limit: more links than this on one path is a loop.
constexpr int kMaxLinks = 40;

std::vector<std::string> split(std::string_view path) {
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string_view::npos) end = path.size();
        if (end > start) parts.emplace_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

// The components of `path` below `root`, both absolute; false when `path` does not lie
// within it. Letter case is ignored, as everywhere in client paths.
bool below_root(std::string_view root, std::string_view path, std::vector<std::string>& rest) {
    const std::vector<std::string> root_parts = split(root);
    rest = split(path);
    if (rest.size() < root_parts.size()) return false;
    for (std::size_t i = 0; i < root_parts.size(); ++i) {
        if (!ascii::equal_ignoring_case(root_parts[i], rest[i])) return false;
    }
    rest.erase(rest.begin(), rest.begin() + static_cast<std::ptrdiff_t>(root_parts.size()));
    return true;
}

bool lstat_in(int folder, const std::string& name, struct stat& st) {
    return ::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

struct Component {
    std::string name;
    bool from_client;  // up to case unless the scope wants exact names; link targets: exact
};

enum class Step { next, done, denied };

class Walk {
  public:
    Walk(const PathScope& scope, Follow follow)
        : root_fd_(scope.root_folder),
          root_(scope.confined ? scope.root : "/"),
          confined_(scope.confined),
          exact_case_(scope.exact_case),
          follow_(follow) {}

    PathResult run(std::vector<std::string> parts, Entry& out) {
        for (auto& part : parts) pending_.push_back({std::move(part), true});
        for (;;) {
            if (pending_.empty()) return finish_at_folder(out);
            Component c = std::move(pending_.front());
            pending_.pop_front();
            const Step step = pending_.empty() ? last(c, out) : middle(c, out);
            if (step == Step::denied) return PathResult::denied;
            if (step == Step::done) return PathResult::ok;
        }
    }

  private:
    struct Folder {
        UniqueFd fd;
        std::string name;
    };

    bool looked_up_any_case(const Component& c) const { return c.from_client && !exact_case_; }

    int current() const { return folders_.empty() ? root_fd_ : folders_.back().fd.get(); }

    std::string path_of(const std::string& name) const {
        std::string path = root_;
        for (const Folder& f : folders_) path += (path.back() == '/' ? "" : "/") + f.name;
        if (!name.empty() && name != ".") path += (path.back() == '/' ? "" : "/") + name;
        return path;
    }

    // '..' above the root: a confined walk would leave it; "/" has no parent.
    bool go_up() {
        if (!folders_.empty()) {
            folders_.pop_back();
            return true;
        }
        return !confined_;
    }

    Step middle(Component& c, Entry& out) {
        if (c.name == ".") return Step::next;
        if (c.name == "..") return go_up() ? Step::next : Step::denied;
        if (looked_up_any_case(c) && !match_entry_any_case(current(), c.name))
            return missing_folder(out);
        UniqueFd fd(
            ::openat(current(), c.name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (fd) {
            folders_.push_back({std::move(fd), c.name});
            return Step::next;
        }
        struct stat st {};
        if (!lstat_in(current(), c.name, st)) return missing_folder(out);
        if (S_ISLNK(st.st_mode)) return expand_link(c.name) ? Step::next : Step::denied;
        return missing_folder(out);
    }

    Step last(Component& c, Entry& out) {
        if (c.name == ".")
            return finish_at_folder(out) == PathResult::ok ? Step::done : Step::denied;
        if (c.name == "..") {
            if (!go_up()) return Step::denied;
            return finish_at_folder(out) == PathResult::ok ? Step::done : Step::denied;
        }
        if (looked_up_any_case(c)) (void)match_entry_any_case(current(), c.name);
        struct stat st {};
        const bool exists = lstat_in(current(), c.name, st);
        if (!exists && following_link_) return dangling(c.name, out);
        if (!exists || !S_ISLNK(st.st_mode)) return found(c.name, out);
        // A link: its target is walked to check it, and for Follow::final_link used.
        if (follow_ == Follow::not_final_link && !following_link_) {
            keep_ = Entry{dup_current(), c.name, path_of(c.name), false};
            kept_ = true;
        }
        following_link_ = true;
        return expand_link(c.name) ? Step::next : Step::denied;
    }

    Step found(const std::string& name, Entry& out) {
        if (kept_) {
            out = std::move(keep_);
        } else {
            out = Entry{dup_current(), name, path_of(name), false};
        }
        return Step::done;
    }

    // A link whose target does not exist cannot be checked in a confined scope.
    Step dangling(const std::string& name, Entry& out) {
        if (confined_) return Step::denied;
        return found(name, out);
    }

    Step missing_folder(Entry& out) {
        if (confined_) return Step::denied;
        // Not confined: the operations fail as they would on the path itself.
        std::string path = path_of("");
        while (!pending_.empty()) {
            path += (path.back() == '/' ? "" : "/") + pending_.front().name;
            pending_.pop_front();
        }
        out = Entry{UniqueFd(), path.substr(path.rfind('/') + 1), path, false};
        return Step::done;
    }

    PathResult finish_at_folder(Entry& out) {
        if (kept_) {
            out = std::move(keep_);
            return PathResult::ok;
        }
        out = Entry{dup_current(), ".", path_of(""), folders_.empty()};
        return PathResult::ok;
    }

    // Puts the link's target in front of what is left of the path.
    bool expand_link(const std::string& name) {
        if (++links_ > kMaxLinks) return false;
        char target[PATH_MAX];
        const ssize_t n = ::readlinkat(current(), name.c_str(), target, sizeof target - 1);
        if (n <= 0) return false;
        const std::string_view text(target, static_cast<std::size_t>(n));
        std::vector<std::string> parts;
        if (text.front() == '/') {
            if (!below_root(root_, text, parts)) return false;
            folders_.clear();
        } else {
            parts = split(text);
        }
        if (parts.empty()) parts.emplace_back(".");
        for (auto it = parts.rbegin(); it != parts.rend(); ++it) pending_.push_front({*it, false});
        return true;
    }

    UniqueFd dup_current() const { return UniqueFd(::fcntl(current(), F_DUPFD_CLOEXEC, 0)); }

    int root_fd_;
    std::string root_;
    bool confined_;
    bool exact_case_;
    Follow follow_;
    std::vector<Folder> folders_;
    std::deque<Component> pending_;
    int links_ = 0;
    bool following_link_ = false;
    bool kept_ = false;
    Entry keep_;
};

}  // namespace

bool match_entry_any_case(int folder, std::string& name) {
    struct stat st {};
    if (lstat_in(folder, name, st)) return true;
    const int readable = ::openat(folder, ".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (readable < 0) return false;
    std::unique_ptr<DIR, int (*)(DIR*)> dir(::fdopendir(readable), ::closedir);
    if (!dir) {
        ::close(readable);
        return false;
    }
    std::string best;
    bool found = false;
    while (const dirent* entry = ::readdir(dir.get())) {
        if (!ascii::equal_ignoring_case(name, entry->d_name)) continue;
        if (!found || best.compare(entry->d_name) > 0) best = entry->d_name;
        found = true;
    }
    if (found) name = best;
    return found;
}

PathResult resolve_client_path(const PathScope& scope, std::string_view client_path, Follow follow,
                               Entry& entry) {
    entry = Entry{};
    if (scope.root_folder < 0 || (scope.confined && scope.root.empty())) return PathResult::denied;
    std::vector<std::string> parts;
    if (scope.confined && scope.root_is_slash) {
        // The client's "/" is the root: its path is made absolute below it, so '..'
        // stops there and every component lies within it.
        const std::string cwd = path_from_root(scope.root, scope.cwd);
        parts = split(combine_client_path(cwd.empty() ? "/" : cwd, client_path));
    } else {
        const std::string absolute = combine_client_path(scope.cwd, client_path);
        if (!below_root(scope.confined ? scope.root : "/", absolute, parts))
            return PathResult::denied;
    }
    return Walk(scope, follow).run(std::move(parts), entry);
}

}  // namespace kesto::platform
