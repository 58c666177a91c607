// The event log's line format, its escaping of control bytes, and the level filter.
#include "server/log/event_log.h"

#include <gtest/gtest.h>

using kesto::server::escape_control_bytes;
using kesto::server::format_log_line;
using kesto::server::log_level_passes;
using kesto::server::LogLevel;

namespace {

std::tm fixed_time() {
    std::tm t{};
    t.tm_mday = 5;
    t.tm_mon = 2;
    t.tm_year = 108;
    t.tm_hour = 7;
    t.tm_min = 4;
    t.tm_sec = 9;
    return t;
}

}  // namespace

TEST(EventLogFormat, FatalAndOtherLevels) {
    EXPECT_EQ(format_log_line(LogLevel::fatal, fixed_time(), "Logging started."),
              "! 05/03/08  07:04:09  Logging started.\r\n");
    EXPECT_EQ(format_log_line(LogLevel::informational, fixed_time(), "x"),
              "  05/03/08  07:04:09  x\r\n");
    std::tm old = fixed_time();
    old.tm_year = 99;
    EXPECT_EQ(format_log_line(LogLevel::extreme, old, "y"), "  05/03/99  07:04:09  y\r\n");
}

TEST(EventLogFormat, LongTextsAreWrittenWhole) {
    const std::string text(5000, 'z');
    const std::string line = format_log_line(LogLevel::extreme, fixed_time(), text);
    EXPECT_EQ(line.size(), 22 + text.size() + 2);
    EXPECT_EQ(line.substr(22, text.size()), text);
}

TEST(EventLogFormat, LevelFilter) {
    EXPECT_FALSE(log_level_passes(LogLevel::none, LogLevel::fatal));
    EXPECT_TRUE(log_level_passes(LogLevel::fatal, LogLevel::fatal));
    EXPECT_FALSE(log_level_passes(LogLevel::fatal, LogLevel::informational));
    EXPECT_TRUE(log_level_passes(LogLevel::informational, LogLevel::informational));
    EXPECT_FALSE(log_level_passes(LogLevel::informational, LogLevel::extreme));
    EXPECT_TRUE(log_level_passes(LogLevel::extreme, LogLevel::extreme));
}

TEST(EventLogEscaping, ControlBytesBecomeVisibleEscapes) {
    EXPECT_EQ(escape_control_bytes("a\rb\nc\td"), "a\\rb\\nc\\td");
    EXPECT_EQ(escape_control_bytes(std::string("\x00\x01\x1b[2J\x1f\x7f", 8)),
              "\\x00\\x01\\x1B[2J\\x1F\\x7F");
    // Everything else is kept as it is: blanks, backslashes, bytes of other code pages.
    const std::string plain = " ~\\ C:\\NC\\P1.NC \xe4\x80\xff";
    EXPECT_EQ(escape_control_bytes(plain), plain);
}

TEST(EventLogEscaping, TextCannotStartALineOfItsOwn) {
    const std::string line = format_log_line(LogLevel::informational, fixed_time(),
                                             "<<x\r\n! 01/01/26  00:00:00  Logging stopped.\r\n>>");
    EXPECT_EQ(line,
              "  05/03/08  07:04:09  <<x\\r\\n! 01/01/26  00:00:00  Logging stopped.\\r\\n>>\r\n");
}
