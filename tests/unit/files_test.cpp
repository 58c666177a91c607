// The file layer's path handling: lexical combination, case-insensitive lookup, and
// confinement on component boundaries with links resolved.
#include "platform/files.h"

#include <cerrno>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/file_transfer.h"

namespace fs = std::filesystem;
using namespace kesto::platform;

TEST(CombineClientPath, SeparatorsDotsAndTheRoot) {
    EXPECT_EQ(combine_client_path("/srv/ftp", "NC"), "/srv/ftp/NC");
    EXPECT_EQ(combine_client_path("/srv/ftp", "A\\B/C"), "/srv/ftp/A/B/C");
    EXPECT_EQ(combine_client_path("/srv/ftp", "\\etc"), "/etc");
    EXPECT_EQ(combine_client_path("/srv/ftp", "/etc//passwd/"), "/etc/passwd");
    EXPECT_EQ(combine_client_path("/srv/ftp", "./A/../B"), "/srv/ftp/B");
    EXPECT_EQ(combine_client_path("/srv/ftp", "../../../.."), "/");
    EXPECT_EQ(combine_client_path("/", ".."), "/");
    EXPECT_EQ(combine_client_path("/srv", ""), "/srv");
    // A working directory that is not absolute is taken from the root.
    EXPECT_EQ(combine_client_path("C:\\temp", "X"), "/C:/temp/X");
}

TEST(IsWithin, ComponentBoundaries) {
    EXPECT_TRUE(is_within("/srv/ftp", "/srv/ftp"));
    EXPECT_TRUE(is_within("/srv/ftp", "/srv/ftp/a"));
    EXPECT_TRUE(is_within("/srv/ftp/", "/srv/ftp"));
    EXPECT_FALSE(is_within("/srv/ftp", "/srv/ftp2"));
    EXPECT_FALSE(is_within("/srv/ftp", "/srv"));
    EXPECT_FALSE(is_within("/srv/ftp", "/"));
    EXPECT_TRUE(is_within("/", "/anything"));
}

TEST(PathFromRoot, TheRootIsSlash) {
    EXPECT_EQ(path_from_root("/srv/ftp", "/srv/ftp"), "/");
    EXPECT_EQ(path_from_root("/srv/ftp/", "/srv/ftp/a/b"), "/a/b");
    EXPECT_EQ(path_from_root("/", "/a"), "/a");
    EXPECT_EQ(path_from_root("/srv/ftp", "/srv/ftp2"), "");
    EXPECT_EQ(path_from_root("/srv/ftp", "/srv"), "");
    EXPECT_EQ(path_from_root("", "/srv"), "");  // a root that did not resolve names nothing
}

class FileLayer : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kesto-files-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        base_ = fs::canonical(tmpl);
        root_ = base_ / "ftp";
        fs::create_directories(root_ / "Programs" / "Sub");
        fs::create_directories(base_ / "ftp2");
        std::ofstream(root_ / "Part1.nc") << "x";
        std::ofstream(base_ / "secret.txt") << "s";
        fs::create_symlink(base_ / "ftp2", root_ / "OUT");
        fs::create_symlink(root_ / "Programs", root_ / "INSIDE");
        fs::create_symlink(base_ / "nowhere", root_ / "DANGLING");
        root_fd_ = open_root_folder(root_.string());
        slash_fd_ = open_root_folder("/");
    }
    void TearDown() override { fs::remove_all(base_); }

    PathResult resolve(const std::string& cwd, const std::string& path, std::string& local,
                       Follow follow = Follow::final_link) {
        Entry entry;
        const PathResult r = resolve_client_path(
            PathScope{cwd, true, root_.string(), root_fd_.get()}, path, follow, entry);
        local = entry.path;
        return r;
    }
    Entry entry(const std::string& path, Follow follow = Follow::final_link) {
        Entry e;
        EXPECT_EQ(
            resolve_client_path(PathScope{root_.string(), true, root_.string(), root_fd_.get()},
                                path, follow, e),
            PathResult::ok)
            << path;
        return e;
    }

    fs::path base_, root_;
    UniqueFd root_fd_, slash_fd_;
};

TEST_F(FileLayer, CaseInsensitiveLookupPrefersTheExactName) {
    std::string local;
    const std::string cwd = root_.string();
    EXPECT_EQ(resolve(cwd, "PART1.NC", local), PathResult::ok);
    EXPECT_EQ(local, (root_ / "Part1.nc").string());
    EXPECT_EQ(resolve(cwd, "PROGRAMS/SUB", local), PathResult::ok);
    EXPECT_EQ(local, (root_ / "Programs" / "Sub").string());
    EXPECT_EQ(resolve_any_case((root_ / "PROGRAMS" / "SUB").string()),
              (root_ / "Programs" / "Sub").string());
    std::ofstream(root_ / "abc") << "";
    std::ofstream(root_ / "ABC") << "";
    std::ofstream(root_ / "aBc") << "";
    EXPECT_EQ(resolve(cwd, "ABC", local), PathResult::ok);
    EXPECT_EQ(local, (root_ / "ABC").string());
    EXPECT_EQ(resolve(cwd, "Abc", local), PathResult::ok);
    EXPECT_EQ(local, (root_ / "ABC").string());  // first in byte order
    EXPECT_EQ(resolve(cwd, "NEW.NC", local), PathResult::ok);
    EXPECT_EQ(local, (root_ / "NEW.NC").string());
    // Below a missing or non-folder component the rest is kept as written.
    EXPECT_EQ(resolve_any_case((root_ / "NEW" / "PROGRAMS").string()),
              (root_ / "NEW" / "PROGRAMS").string());
    EXPECT_EQ(resolve_any_case((root_ / "PART1.NC" / "SUB").string()),
              (root_ / "Part1.nc" / "SUB").string());
}

TEST_F(FileLayer, ConfinedResolutionStaysInsideTheRoot) {
    std::string local;
    const std::string cwd = root_.string();
    EXPECT_EQ(resolve(cwd, "PROGRAMS\\SUB", local), PathResult::ok);
    EXPECT_EQ(local, (root_ / "Programs" / "Sub").string());
    EXPECT_EQ(resolve(cwd, "NEW.NC", local), PathResult::ok);  // missing last part: inside
    EXPECT_EQ(local, (root_ / "NEW.NC").string());
    EXPECT_EQ(resolve(cwd, "INSIDE", local), PathResult::ok);  // a link that stays inside
    EXPECT_EQ(local, (root_ / "Programs").string());           // its real path
    EXPECT_EQ(resolve(cwd, root_.string(), local), PathResult::ok);
    EXPECT_EQ(resolve(cwd, root_.string() + "/", local), PathResult::ok);

    for (const std::string& outside : std::vector<std::string>{
             "..", "../secret.txt", "..\\FTP2", "/", "/etc/passwd", (base_ / "ftp2").string(),
             "OUT", "OUT/NEW.NC", "DANGLING", "MISSING/NEW.NC", "../FTP2/NEW.NC"}) {
        EXPECT_EQ(resolve(cwd, outside, local), PathResult::denied) << outside;
        EXPECT_EQ(resolve(cwd, outside, local, Follow::not_final_link), PathResult::denied)
            << outside;
    }
    // From a sub-folder, '..' goes back up to the root but no further.
    const std::string sub = (root_ / "Programs").string();
    EXPECT_EQ(resolve(sub, "..", local), PathResult::ok);
    EXPECT_EQ(resolve(sub, "../..", local), PathResult::denied);
}

TEST_F(FileLayer, LinksAreFollowedByHandAndCheckedWhereTheyAreUsed) {
    std::string local;
    const std::string cwd = root_.string();
    // A relative link pointing inside may be moved; from its new place it points out.
    fs::create_symlink("..", root_ / "Programs" / "UP");
    EXPECT_EQ(resolve(cwd, "PROGRAMS/UP/PART1.NC", local), PathResult::ok);
    EXPECT_EQ(local, (root_ / "Part1.nc").string());
    fs::rename(root_ / "Programs" / "UP", root_ / "UP");
    EXPECT_EQ(resolve(cwd, "UP", local), PathResult::denied);
    EXPECT_EQ(resolve(cwd, "UP/SECRET.TXT", local), PathResult::denied);
    // An absolute link into the root is walked from the root's descriptor.
    fs::create_symlink(root_ / "Programs" / "Sub", root_ / "ABS");
    EXPECT_EQ(resolve(cwd, "ABS", local), PathResult::ok);
    EXPECT_EQ(local, (root_ / "Programs" / "Sub").string());
    // A loop of links ends.
    fs::create_symlink("LOOP2", root_ / "LOOP1");
    fs::create_symlink("LOOP1", root_ / "LOOP2");
    EXPECT_EQ(resolve(cwd, "LOOP1/X", local), PathResult::denied);
    // DELE and RNFR act on the link, not on its target.
    const Entry link = entry("INSIDE", Follow::not_final_link);
    EXPECT_EQ(link.name, "INSIDE");
    EXPECT_EQ(remove_file(link), 0);
    EXPECT_TRUE(fs::is_directory(root_ / "Programs"));
}

TEST_F(FileLayer, AResolvedEntryIsNotRedirectedBySwappingAFolderOnItsPath) {
    fs::create_directories(root_ / "W" / "D");
    std::ofstream(root_ / "W" / "D" / "F") << "inside";
    std::ofstream(base_ / "ftp2" / "F") << "outside";
    fs::create_directories(root_ / "L");
    fs::create_symlink(base_ / "ftp2", root_ / "L" / "D");
    const Entry read = entry("W/D/F");
    const Entry made = entry("W/D/NEW", Follow::not_final_link);
    fs::rename(root_ / "W", root_ / "W_OLD");
    fs::rename(root_ / "L", root_ / "W");  // W/D now points out of the root

    UniqueFd fd;
    ASSERT_EQ(open_for_reading(read, fd), FileOpen::ok);
    char buf[16] = {};
    EXPECT_EQ(::read(fd.get(), buf, sizeof buf), 6);
    EXPECT_STREQ(buf, "inside");
    EXPECT_EQ(create_file_exclusive(made), 0);
    EXPECT_TRUE(fs::exists(root_ / "W_OLD" / "D" / "NEW"));
    EXPECT_FALSE(fs::exists(base_ / "ftp2" / "NEW"));
    EXPECT_EQ(remove_file(read), 0);
    EXPECT_TRUE(fs::exists(base_ / "ftp2" / "F"));
}

TEST_F(FileLayer, UnconfinedOrUnresolvableRoots) {
    Entry entry;
    EXPECT_EQ(resolve_client_path(PathScope{root_.string(), false, "", slash_fd_.get()},
                                  "../secret.txt", Follow::final_link, entry),
              PathResult::ok);
    EXPECT_EQ(entry.path, (base_ / "secret.txt").string());
    // Not confined, a missing folder is no refusal: the operation fails on its own.
    EXPECT_EQ(resolve_client_path(PathScope{root_.string(), false, "", slash_fd_.get()},
                                  "MISSING/X", Follow::final_link, entry),
              PathResult::ok);
    EXPECT_EQ(make_directory(entry), ENOENT);
    // A confined account whose folder did not resolve at login reaches nothing.
    EXPECT_EQ(resolve_client_path(PathScope{"/", true, "", -1}, "x", Follow::final_link, entry),
              PathResult::denied);
}

// Desktop clients: names exactly as given, and a confined root that the client sees as
// "/", so absolute paths start at it and '..' stops there.
TEST_F(FileLayer, DesktopScopesLookUpExactlyBelowARootSeenAsSlash) {
    PathScope scope{.cwd = root_.string(),
                    .confined = true,
                    .root = root_.string(),
                    .root_folder = root_fd_.get(),
                    .exact_case = true,
                    .root_is_slash = true};
    auto local = [&](const std::string& path, const std::string& cwd) {
        scope.cwd = cwd;
        Entry entry;
        const PathResult r = resolve_client_path(scope, path, Follow::final_link, entry);
        return r == PathResult::ok ? entry.path : std::string("denied");
    };
    const std::string root = root_.string();
    const std::string sub = (root_ / "Programs" / "Sub").string();
    EXPECT_EQ(local("Part1.nc", root), root + "/Part1.nc");
    EXPECT_EQ(local("PART1.NC", root), root + "/PART1.NC");  // another, new name
    EXPECT_EQ(local("PROGRAMS/Sub", root), "denied");        // no such folder
    EXPECT_EQ(local("/Programs/Sub", sub), sub);
    EXPECT_EQ(local("INSIDE/Sub", root), sub);
    for (const char* at_root : {"/", "..", "../../..", "/../.."})
        EXPECT_EQ(local(at_root, sub.substr(0, sub.size() - 4)), root) << at_root;
    EXPECT_EQ(local("../../Part1.nc", sub), root + "/Part1.nc");
    EXPECT_EQ(local("/../secret.txt", sub), root + "/secret.txt");  // inside, missing
    // The real path names a place below the root, which does not exist; links stay checked.
    EXPECT_EQ(local(root + "/Part1.nc", root), "denied");
    EXPECT_EQ(local("OUT", root), "denied");
    EXPECT_EQ(local("/DANGLING", sub), "denied");
    // Not confined: exact names, real paths.
    const PathScope free{.cwd = root,
                         .confined = false,
                         .root = "",
                         .root_folder = slash_fd_.get(),
                         .exact_case = true,
                         .root_is_slash = false};
    Entry entry;
    ASSERT_EQ(resolve_client_path(free, root + "/PROGRAMS", Follow::final_link, entry),
              PathResult::ok);
    EXPECT_FALSE(file_info(entry).exists);
    ASSERT_EQ(resolve_client_path(free, "../secret.txt", Follow::final_link, entry),
              PathResult::ok);
    EXPECT_TRUE(file_info(entry).exists);
}

TEST_F(FileLayer, FileInfo) {
    const FileInfo file = file_info(entry_at_path((root_ / "Part1.nc").string()));
    EXPECT_TRUE(file.exists && file.is_regular && !file.is_directory);
    EXPECT_EQ(file.size, 1);
    EXPECT_FALSE(file.read_only);
    fs::permissions(root_ / "Part1.nc", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_TRUE(file_info(entry_at_path((root_ / "Part1.nc").string())).read_only);
    EXPECT_TRUE(file_info(entry_at_path(root_.string())).is_directory);
    EXPECT_TRUE(file_info(entry_at_path((root_ / "DANGLING").string())).exists);
    EXPECT_FALSE(file_info(entry_at_path((root_ / "none").string())).exists);
    EXPECT_TRUE(file_info_in(root_fd_.get(), "OUT", false).is_link);
    EXPECT_TRUE(file_info_in(root_fd_.get(), "OUT", true).is_directory);
}
