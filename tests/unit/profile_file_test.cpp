// profile_read and profile_write on real files: creation rules, the atomic replace,
// and a reader that runs beside a writer.
#include "profile/profile_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

using kesto::profile::profile_read;
using kesto::profile::profile_write;
namespace fs = std::filesystem;

namespace {

class ProfileFile : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kesto-profile-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = (dir_ / "KestoFTP.ini").string();
    }
    void TearDown() override { fs::remove_all(dir_); }

    void write_file(const std::string& content) {
        std::ofstream(path_, std::ios::binary) << content;
    }
    std::string file() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    std::string read(const char* section, const char* key, const char* fallback = "dflt",
                     std::size_t size = 256) {
        std::string dest(size, '\x7f');
        int n = profile_read(section, key, fallback, dest.data(), size, path_.c_str());
        EXPECT_EQ(static_cast<std::size_t>(n), std::strlen(dest.c_str()));
        return dest.c_str();
    }

    fs::path dir_;
    std::string path_;
};

}  // namespace

TEST_F(ProfileFile, MissingFileGivesDefaultsAndIsNeverCreated) {
    EXPECT_EQ(read("GLOBAL", "LOG_LEVEL"), "dflt");
    EXPECT_EQ(read("GLOBAL", "LOG_LEVEL", nullptr), "");
    EXPECT_EQ(read("GLOBAL", "LOG_LEVEL", "a long default", 5), "a lo");
    EXPECT_EQ(profile_write("GLOBAL", "LOG_LEVEL", "FATAL", path_.c_str()), 1);
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(ProfileFile, EmptyFileTakesTheFirstSection) {
    write_file("");
    profile_write("IniFileVersion", "Version", "200", path_.c_str());
    EXPECT_EQ(file(), "\r\n## INIFILEVERSION " + std::string(61, '#') +
                          "\r\n\r\n[INIFILEVERSION]\r\nVERSION\t\t= 200\r\n");
    EXPECT_EQ(read("INIFILEVERSION", "VERSION"), "200");
    EXPECT_EQ(read("INIFILEVERSION", "VERSION", "", 3), "20");
}

TEST_F(ProfileFile, UnchangedValueLeavesTheFileAlone) {
    write_file("[GLOBAL]\nLOG_LEVEL = FATAL   \n");
    struct stat before {};
    ASSERT_EQ(::stat(path_.c_str(), &before), 0);
    profile_write("global", "log_level", " FATAL ", path_.c_str());
    struct stat after {};
    ASSERT_EQ(::stat(path_.c_str(), &after), 0);
    EXPECT_EQ(before.st_ino, after.st_ino) << "the file was replaced";
    EXPECT_EQ(file(), "[GLOBAL]\nLOG_LEVEL = FATAL   \n");
}

TEST_F(ProfileFile, ReplaceKeepsModeAndFollowsALink) {
    write_file("[A]\r\nK=1\r\n");
    ASSERT_EQ(::chmod(path_.c_str(), 0640), 0);
    const std::string link = (dir_ / "link.ini").string();
    fs::create_symlink(path_, link);
    profile_write("A", "K", "2", link.c_str());
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(file(), "[A]\r\nK= 2\r\n");
    struct stat st {};
    ASSERT_EQ(::stat(path_.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    // No temporary file is left beside it.
    EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 2);
}

TEST_F(ProfileFile, AReaderBesideAWriterNeverMissesAKey) {
    write_file("");
    profile_write("USERDEMO", "PASS", "secret", path_.c_str());
    std::atomic<bool> done{false};
    std::atomic<int> misses{0};
    std::atomic<int> reads{0};
    std::thread reader([&] {
        char dest[64];
        while (!done.load()) {
            profile_read("USERDEMO", "PASS", "", dest, sizeof dest, path_.c_str());
            if (std::string(dest) != "secret") ++misses;
            ++reads;
        }
    });
    // Edits of other sections and keys, as the manager makes them.
    for (int i = 0; i < 300; ++i) {
        const std::string value = std::to_string(i);
        profile_write("GLOBAL", "LOG_LEVEL", value.c_str(), path_.c_str());
        profile_write("USERDEMO", "PATH", value.c_str(), path_.c_str());
        profile_write("USEROTHER", "PASS", value.c_str(), path_.c_str());
        if (i % 3 == 0) profile_write("USEROTHER", nullptr, nullptr, path_.c_str());
        if (i % 5 == 0) profile_write("USERDEMO", "PATH", nullptr, path_.c_str());
    }
    done = true;
    reader.join();
    EXPECT_GT(reads.load(), 0);
    EXPECT_EQ(misses.load(), 0);
}
