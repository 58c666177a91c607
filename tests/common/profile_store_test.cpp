#include "common/profile_store.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "base/deadline.h"
#include "platform/file_lock.h"

namespace kesto::common {
namespace {

namespace fs = std::filesystem;

const std::string kNewFile =
    "\r\n## INIFILEVERSION #############################################################\r\n"
    "\r\n[INIFILEVERSION]\r\nVERSION\t\t= 200\r\n";

class ProfileStoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kesto-store-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        path_ = (folder_ / "KestoFTP.ini").string();
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string contents() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    void put(const std::string& text) const { std::ofstream(path_, std::ios::binary) << text; }

    fs::path folder_;
    std::string path_;
};

TEST_F(ProfileStoreTest, OpenCreatesTheVersionedFileAndReadsCompleteIt) {
    ProfileStore store(path_);
    EXPECT_FALSE(store.is_read_only());
    EXPECT_EQ(contents(), kNewFile);
    EXPECT_EQ(fs::status(path_).permissions() & fs::perms::all,
              fs::perms::owner_read | fs::perms::owner_write);

    EXPECT_EQ(store.read_text("USERanonymous", "SYS", "UNIX  "), "UNIX  ");
    EXPECT_EQ(store.read_text("USERanonymous", "PATH", "/tmp"), "/tmp");
    EXPECT_EQ(contents(), kNewFile + "\r\n## USERANONYMOUS " + std::string(62, '#') +
                              "\r\n\r\n[USERANONYMOUS]\r\nSYS\t\t= UNIX\r\nPATH\t\t= /tmp\r\n");
    EXPECT_EQ(store.read_text("userANONYMOUS", "sys", "other"), "UNIX") << "case ignored";
}

TEST_F(ProfileStoreTest, NumbersTakeTheirDefaultOrNearestBoundAndRepairTheFile) {
    put("[G]\r\nA = abc\r\nZ = 0\r\nBIG = 42\r\nLOW = -7\r\nHUGE = 99999999999999\r\n");
    ProfileStore store(path_);
    EXPECT_EQ(store.read_int("G", "A", 5, 0, 100), 5);
    EXPECT_EQ(store.read_text("G", "A", ""), "5");
    EXPECT_EQ(store.read_int("G", "Z", 5, 0, 100), 0);
    EXPECT_EQ(store.read_text("G", "Z", ""), "0") << "a real 0 is kept";
    EXPECT_EQ(store.read_int("G", "BIG", 5, 1, 10), 10);
    EXPECT_EQ(store.read_text("G", "BIG", ""), "10");
    EXPECT_EQ(store.read_uint("G", "LOW", 3, 2, 9), 2U) << "a negative value is below min";
    EXPECT_EQ(store.read_int("G", "HUGE", 1, 0, 2000000000), 2000000000);
    EXPECT_EQ(store.read_word("G", "PORT", 70000, 1, 100000), 65535U);
    EXPECT_EQ(store.read_text("G", "PORT", ""), "65535");
}

TEST_F(ProfileStoreTest, FlagsAndTextsRoundTrip) {
    put("[G]\r\nA = YES\r\nB = yes\r\nC = 1\r\nD = True\r\nE = on\r\nF = 2\r\n");
    ProfileStore store(path_);
    for (const char* key : {"A", "B", "C"}) EXPECT_TRUE(store.read_flag("G", key, false)) << key;
    for (const char* key : {"D", "E", "F"}) EXPECT_FALSE(store.read_flag("G", key, true)) << key;
    EXPECT_TRUE(store.read_flag("G", "NEW", true));
    EXPECT_EQ(store.read_text("G", "NEW", ""), "Yes");

    store.write_text("G", "LEAD", " padded");
    EXPECT_NE(contents().find("LEAD\t\t= \" padded\"\r\n"), std::string::npos);
    EXPECT_EQ(store.read_text("G", "LEAD", ""), " padded");
    store.write_text("G", "QUOTE", "\"x");
    EXPECT_EQ(store.read_text("G", "QUOTE", ""), "\"x");
    store.write_text("G", "BREAK", "a\r\nb");
    EXPECT_EQ(store.read_text("G", "BREAK", ""), "ab");

    store.delete_key("G", "BREAK");
    EXPECT_EQ(contents().find("BREAK"), std::string::npos);
    store.delete_section("G");
    EXPECT_EQ(contents(), kNewFile);
}

TEST_F(ProfileStoreTest, ZeroBytesReadAsBlanks) {
    put(std::string("[G]\r\nK = a\0b\r\n", 13));
    ProfileStore store(path_);
    EXPECT_EQ(store.read_text("G", "K", ""), "a b");
}

TEST_F(ProfileStoreTest, AStoreThatCannotWriteSaysSoAndChangesNothing) {
    put("not a folder");
    const std::string inside = path_ + "/KestoFTP.ini";  // its folder is a file
    ProfileStore store(inside);
    EXPECT_TRUE(store.is_read_only());
    EXPECT_EQ(store.read_text("G", "K", "dflt"), "dflt");
    store.write_text("G", "K", "v");
    EXPECT_TRUE(store.last_write_failed());
    EXPECT_EQ(contents(), "not a folder");
}

TEST_F(ProfileStoreTest, AWriteBlockedByAnotherWriterIsReportedThenTheNextOneLands) {
    ProfileStore store(path_);
    {
        platform::FileLock other;
        ASSERT_EQ(other.try_lock(path_ + ".lock"), 0);
        store.write_text("G", "K", "lost");
        EXPECT_TRUE(store.last_write_failed());
        EXPECT_EQ(contents(), kNewFile);
    }
    store.write_text("G", "K", "kept");
    EXPECT_FALSE(store.last_write_failed());
    EXPECT_EQ(store.read_text("G", "K", ""), "kept");
}

TEST_F(ProfileStoreTest, CachingCollectsChangesAndKeepsAnotherWritersWork) {
    ProfileStore store(path_);
    EXPECT_FALSE(store.set_caching(true));
    store.write_text("A", "ONE", "1");
    EXPECT_EQ(store.read_text("A", "ONE", ""), "1");
    EXPECT_EQ(contents(), kNewFile) << "nothing written before the flush";

    ProfileStore other(path_);
    other.write_text("B", "TWO", "2");
    EXPECT_TRUE(store.set_caching(false));
    EXPECT_FALSE(store.last_write_failed());
    EXPECT_EQ(other.read_text("A", "ONE", ""), "1");
    EXPECT_EQ(store.read_text("B", "TWO", ""), "2");
}

// Two processes write 500 keys each while this one reads: every key arrives, and
// every read sees a whole file.
TEST_F(ProfileStoreTest, ConcurrentWritersLoseNothingAndReadersSeeWholeFiles) {
    ProfileStore(path_).write_text("G", "START", "1");
    constexpr int kKeys = 500;
    pid_t writers[2];
    for (int w = 0; w < 2; ++w) {
        writers[w] = ::fork();
        ASSERT_GE(writers[w], 0);
        if (writers[w] == 0) {
            ProfileStore store(path_);
            for (int i = 0; i < kKeys; ++i) {
                store.write_int("W" + std::to_string(w), "K" + std::to_string(i), i);
                if (store.last_write_failed()) ::_exit(1);
            }
            ::_exit(0);
        }
    }
    std::size_t last_size = 0;
    int finished = 0;
    int status[2] = {-1, -1};
    const Deadline deadline(60'000);
    while (finished < 2 && !deadline.passed()) {
        const std::string text = contents();
        ASSERT_GE(text.size(), last_size) << "a reader saw a shorter file";
        ASSERT_NE(text.find("START\t\t= 1\r\n"), std::string::npos);
        ASSERT_EQ(text.substr(text.size() - 2), "\r\n") << "a reader saw a cut line";
        last_size = text.size();
        for (int w = 0; w < 2; ++w) {
            int s = 0;
            if (status[w] == -1 && ::waitpid(writers[w], &s, WNOHANG) == writers[w]) {
                status[w] = s;
                ++finished;
            }
        }
    }
    ASSERT_EQ(finished, 2) << "the writers did not finish within a minute";
    for (int s : status) EXPECT_TRUE(WIFEXITED(s) && WEXITSTATUS(s) == 0);
    ProfileStore check(path_);
    for (int w = 0; w < 2; ++w) {
        for (int i = 0; i < kKeys; ++i) {
            ASSERT_EQ(
                check.read_int("W" + std::to_string(w), "K" + std::to_string(i), -1, -1, kKeys), i);
        }
    }
}

}  // namespace
}  // namespace kesto::common
