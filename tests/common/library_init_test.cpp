#include "common/library_init.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <vector>

#include "common/catalogue.h"

namespace kesto::common {
namespace {

namespace fs = std::filesystem;

struct Outcome {
    int result = -1;
    std::string language;
    bool changed = false;
    std::string code_text;  // text 311 of the catalogue loaded
};

// init_library keeps process-wide state (the catalogue, the context), so each start runs
// the small probe program in a new process, as each start of the manager is one.
Outcome start_manager(const fs::path& folder, const std::vector<std::string>& args,
                      const char* locale) {
    int fds[2];
    if (::pipe(fds) != 0) return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(fds[1], STDOUT_FILENO);
        ::setenv("LC_ALL", locale, 1);
        std::vector<const char*> argv{KESTO_INIT_PROBE, folder.c_str()};
        for (const auto& a : args) argv.push_back(a.c_str());
        argv.push_back(nullptr);
        ::execv(KESTO_INIT_PROBE, const_cast<char* const*>(argv.data()));
        ::_exit(127);
    }
    ::close(fds[1]);
    std::string text;
    char buffer[256];
    for (ssize_t n; (n = ::read(fds[0], buffer, sizeof buffer)) > 0;) text.append(buffer, n);
    ::close(fds[0]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    Outcome out;
    std::istringstream lines(text);
    std::string result, changed;
    std::getline(lines, result);
    std::getline(lines, out.language);
    std::getline(lines, changed);
    std::getline(lines, out.code_text);
    out.result = result.empty() ? -1 : std::stoi(result);
    out.changed = changed == "1";
    return out;
}

class LibraryInitTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kesto-init-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        folder_ = pattern;
        fs::create_directories(folder_ / "msg");
        write_catalogue("us");
        write_catalogue("de");
    }
    void TearDown() override { fs::remove_all(folder_); }

    void write_catalogue(const std::string& code, const std::string& marker = "***") {
        std::ofstream(folder_ / "msg" / ("msg_" + code + ".bin"), std::ios::binary)
            << encode_catalogue({{311, code}, {677, marker}});
    }
    std::string config() const {
        std::ifstream in(folder_ / "cfg" / "KestoFTP.ini", std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    fs::path folder_;
};

TEST_F(LibraryInitTest, TheLanguageOptionChoosesTheCatalogueAndIsKept) {
    const Outcome first = start_manager(folder_, {"/LANG=de"}, "en_US.UTF-8");
    EXPECT_EQ(first.result, kInitReady);
    EXPECT_EQ(first.code_text, "de");
    EXPECT_NE(config().find("LANGUAGE\t= de\r\n"), std::string::npos) << config();
    EXPECT_EQ(start_manager(folder_, {}, "en_US.UTF-8").language, "de")
        << "kept for the next start";
}

TEST_F(LibraryInitTest, AFirstStartFollowsTheLocaleAndFallsBackToEnglish) {
    const Outcome german = start_manager(folder_, {}, "de_AT.UTF-8");
    EXPECT_EQ(german.language, "de");
    EXPECT_NE(config().find("LANGUAGE\t= de\r\n"), std::string::npos);

    fs::remove_all(folder_ / "cfg");
    const Outcome french = start_manager(folder_, {}, "fr_FR.UTF-8");
    EXPECT_EQ(french.result, kInitReady);
    EXPECT_EQ(french.code_text, "us");
    EXPECT_NE(config().find("LANGUAGE\t= us\r\n"), std::string::npos);

    EXPECT_EQ(start_manager(folder_, {"/lang=../x"}, "C").language, "us") << "a code names no path";
}

TEST_F(LibraryInitTest, TheChangedFlagIsSetOncePerChange) {
    EXPECT_TRUE(start_manager(folder_, {}, "C").changed);
    EXPECT_FALSE(start_manager(folder_, {}, "C").changed);
    EXPECT_TRUE(start_manager(folder_, {"/lang=de"}, "C").changed);
    EXPECT_FALSE(start_manager(folder_, {}, "C").changed);
}

TEST_F(LibraryInitTest, WithoutAUsableEnglishCatalogueTheStartFails) {
    write_catalogue("us", "**");
    EXPECT_EQ(start_manager(folder_, {"/lang=fr"}, "C").result, kInitNoCatalogue);
    fs::remove(folder_ / "msg" / "msg_us.bin");
    EXPECT_EQ(start_manager(folder_, {"/lang=fr"}, "C").result, kInitNoCatalogue);
    EXPECT_EQ(start_manager(folder_, {"/lang=de"}, "C").result, kInitReady);
}

}  // namespace
}  // namespace kesto::common
