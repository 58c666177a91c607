#include "common/trace.h"

#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <sstream>
#include <string>

#include "platform/clock.h"

namespace kesto::common {
namespace {

namespace fs = std::filesystem;

class Trace : public ::testing::Test {
  protected:
    void SetUp() override {
        char tmpl[] = "/tmp/kesto-trace-XXXXXX";
        ASSERT_NE(::mkdtemp(tmpl), nullptr);
        dir_ = tmpl;
        path_ = (dir_ / "trace.txt").string();
    }
    void TearDown() override {
        set_trace_path("");
        fs::remove_all(dir_);
    }
    std::string file() const {
        std::ifstream in(path_, std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }

    fs::path dir_;
    std::string path_;
};

TEST_F(Trace, EmptyPathWritesNothing) {
    set_trace_path(path_);
    set_trace_path("");
    EXPECT_FALSE(tracing_on());
    trace("INIT  :");
    EXPECT_FALSE(fs::exists(path_));
}

TEST_F(Trace, LineHasTickTimeAndTextAndLinesAppend) {
    set_trace_path(path_);
    ASSERT_TRUE(tracing_on());
    const std::int64_t before = platform::milliseconds_since_boot();
    trace("INIT  : Failed - Invalid path %s", "/opt/kesto");
    trace("second %d", 2);
    const std::int64_t after = platform::milliseconds_since_boot();

    const std::string text = file();
    const std::regex line(
        R"((\d{8,}) \[.+ \d\d:\d\d:\d\d\] INIT  : Failed - Invalid path /opt/kesto\n)"
        R"(\d{8,} \[.+ \d\d:\d\d:\d\d\] second 2\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, line)) << text;
    const std::int64_t tick = std::stoll(match[1].str());
    EXPECT_GE(tick, before);
    EXPECT_LE(tick, after);
}

TEST_F(Trace, LongMessageIsCutToTheLineLimit) {
    set_trace_path(path_);
    const std::string huge(10000, 'x');
    trace("%s", huge.c_str());
    const std::string text = file();
    EXPECT_EQ(text.size(), kMaxTraceLine);
    EXPECT_EQ(text.substr(text.size() - 4), "xxx\n");
}

TEST_F(Trace, UnopenableFileLosesTheLineSilently) {
    const std::string missing_folder = (dir_ / "missing" / "trace.txt").string();
    set_trace_path(missing_folder);
    trace("lost");
    EXPECT_TRUE(tracing_on());
    EXPECT_FALSE(fs::exists(dir_ / "missing"));
}

TEST_F(Trace, EnvironmentVariableSwitchesItOn) {
    ASSERT_EQ(::setenv("KESTO_TRACE", path_.c_str(), 1), 0);
    reload_trace_path_from_environment();
    EXPECT_TRUE(tracing_on());
    trace("DLL could not be loaded: %s", "X.so");
    EXPECT_NE(file().find("] DLL could not be loaded: X.so\n"), std::string::npos);

    ASSERT_EQ(::unsetenv("KESTO_TRACE"), 0);
    reload_trace_path_from_environment();
    EXPECT_FALSE(tracing_on());
}

}  // namespace
}  // namespace kesto::common
