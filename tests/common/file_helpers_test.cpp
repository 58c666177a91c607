#include "common/file_helpers.h"

#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "common/error_codes.h"

namespace kesto::common {
namespace {

namespace fs = std::filesystem;

class FileHelpers : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string folder = (fs::temp_directory_path() / "kesto-helpers-XXXXXX").string();
        ASSERT_NE(::mkdtemp(folder.data()), nullptr);
        base_ = folder;
        std::ofstream(base_ + "/file.txt") << "12345";
    }
    void TearDown() override { fs::remove_all(base_); }

    std::string base_;
};

TEST_F(FileHelpers, MakeFolderCreatesMissingParents) {
    ASSERT_EQ(make_folder(base_ + "/a"), kSuccess);
    EXPECT_EQ(make_folder(base_ + "/a/b/c/"), kSuccess);
    EXPECT_TRUE(is_folder(base_ + "/a/b/c"));
    EXPECT_EQ(make_folder(base_ + "/a/b"), kSuccess);  // exists already
    EXPECT_EQ(make_folder("/"), kSuccess);
}

TEST_F(FileHelpers, MakeFolderRefusals) {
    EXPECT_EQ(make_folder(base_ + "/file.txt"), kCannotMake);
    EXPECT_EQ(make_folder("abc"), kInvalidName);
    EXPECT_EQ(make_folder(""), kInvalidName);
    EXPECT_EQ(make_folder("a/b"), kCannotMake);
    // A file where a folder is expected: "folder name invalid", the mapped ENOTDIR.
    EXPECT_EQ(make_folder(base_ + "/file.txt/sub/deeper"), 60U);
}

TEST_F(FileHelpers, ReadOnlyFileIsDeleted) {
    const std::string file = base_ + "/file.txt";
    ASSERT_EQ(set_read_only(file, true), kSuccess);
    struct stat st {};
    ASSERT_EQ(::stat(file.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IWUSR, 0U);
    EXPECT_EQ(delete_file(file), kSuccess);
    EXPECT_FALSE(is_file(file));
    EXPECT_EQ(delete_file(file), 12U);  // file not found
    EXPECT_EQ(delete_file(""), kSuccess);
    EXPECT_EQ(set_read_only(file, false), 12U);
}

TEST_F(FileHelpers, DeleteFileLeavesFolders) {
    ASSERT_EQ(make_folder(base_ + "/keep"), kSuccess);
    ASSERT_EQ(set_read_only(base_ + "/keep", true), kSuccess);
    EXPECT_EQ(delete_file(base_ + "/keep"), kAccessDenied);
    EXPECT_TRUE(is_folder(base_ + "/keep"));
    struct stat st {};
    ASSERT_EQ(::stat((base_ + "/keep").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & S_IWUSR, 0U) << "the folder keeps its read-only attribute";
}

TEST_F(FileHelpers, WriteTimeRoundTripOnFileAndFolder) {
    const std::int64_t when = 1'000'000'000;  // 2001-09-09
    for (const std::string& path : {base_ + "/file.txt", base_}) {
        ASSERT_EQ(set_write_time(path, when), kSuccess) << path;
        EXPECT_EQ(file_write_time(path), when) << path;
        ASSERT_EQ(set_write_time(path, kNow), kSuccess) << path;
        EXPECT_GT(file_write_time(path), when) << path;
    }
    EXPECT_EQ(set_write_time(base_ + "/missing", when), 12U);
    EXPECT_EQ(file_write_time(base_ + "/missing"), 0);
    EXPECT_EQ(set_creation_time(base_ + "/file.txt", when), kGeneralFailure);
}

TEST_F(FileHelpers, SizeAndKinds) {
    EXPECT_EQ(file_size(base_ + "/file.txt"), 5);
    EXPECT_EQ(file_size(base_), 0);
    EXPECT_EQ(file_size(base_ + "/missing"), 0);
    EXPECT_TRUE(is_file(base_ + "/file.txt"));
    EXPECT_FALSE(is_folder(base_ + "/file.txt"));
    EXPECT_TRUE(is_folder(base_));
    EXPECT_FALSE(is_file(base_));
    EXPECT_FALSE(is_file(base_ + "/missing"));
}

}  // namespace
}  // namespace kesto::common
