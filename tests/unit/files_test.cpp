// The file layer's path handling: lexical combination, case-insensitive lookup, and
// confinement on component boundaries with links resolved.
#include "platform/files.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

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
    }
    void TearDown() override { fs::remove_all(base_); }

    PathResult resolve(const std::string& cwd, const std::string& path, std::string& local) {
        return resolve_client_path(PathScope{cwd, true, root_.string()}, path, local);
    }

    fs::path base_, root_;
};

TEST_F(FileLayer, CaseInsensitiveLookupPrefersTheExactName) {
    EXPECT_EQ(find_entry_any_case(root_.string(), "PART1.NC"), "Part1.nc");
    EXPECT_EQ(resolve_any_case((root_ / "PROGRAMS" / "SUB").string()),
              (root_ / "Programs" / "Sub").string());
    std::ofstream(root_ / "abc") << "";
    std::ofstream(root_ / "ABC") << "";
    std::ofstream(root_ / "aBc") << "";
    EXPECT_EQ(find_entry_any_case(root_.string(), "ABC"), "ABC");
    EXPECT_EQ(find_entry_any_case(root_.string(), "Abc"), "ABC");  // first in byte order
    EXPECT_EQ(find_entry_any_case(root_.string(), "NEW.NC"), "NEW.NC");
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
    EXPECT_EQ(resolve(cwd, root_.string(), local), PathResult::ok);
    EXPECT_EQ(resolve(cwd, root_.string() + "/", local), PathResult::ok);

    for (const std::string& outside : std::vector<std::string>{
             "..", "../secret.txt", "..\\FTP2", "/", "/etc/passwd", (base_ / "ftp2").string(),
             "OUT", "OUT/NEW.NC", "DANGLING", "MISSING/NEW.NC", "../FTP2/NEW.NC"}) {
        EXPECT_EQ(resolve(cwd, outside, local), PathResult::denied) << outside;
    }
    // From a sub-folder, '..' goes back up to the root but no further.
    const std::string sub = (root_ / "Programs").string();
    EXPECT_EQ(resolve(sub, "..", local), PathResult::ok);
    EXPECT_EQ(resolve(sub, "../..", local), PathResult::denied);
}

TEST_F(FileLayer, UnconfinedOrUnresolvableRoots) {
    std::string local;
    EXPECT_EQ(resolve_client_path(PathScope{root_.string(), false, ""}, "../secret.txt", local),
              PathResult::ok);
    EXPECT_EQ(local, (base_ / "secret.txt").string());
    // A confined account whose folder did not resolve at login reaches nothing.
    EXPECT_EQ(resolve_client_path(PathScope{"/", true, ""}, "x", local), PathResult::denied);
}

TEST_F(FileLayer, FileInfo) {
    const FileInfo file = file_info((root_ / "Part1.nc").string());
    EXPECT_TRUE(file.exists && file.is_regular && !file.is_directory);
    EXPECT_EQ(file.size, 1);
    EXPECT_FALSE(file.read_only);
    fs::permissions(root_ / "Part1.nc", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_TRUE(file_info((root_ / "Part1.nc").string()).read_only);
    EXPECT_TRUE(file_info(root_.string()).is_directory);
    EXPECT_TRUE(file_info((root_ / "DANGLING").string()).exists);
    EXPECT_FALSE(file_info((root_ / "none").string()).exists);
}
