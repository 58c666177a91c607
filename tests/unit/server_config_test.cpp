// The configuration scanner (keys anywhere, values normalised, the error flag) and
// the command line.
#include "server/config/server_config.h"

#include <gtest/gtest.h>

#include "platform/net.h"
#include "server/process/command_line.h"

using kesto::server::LogLevel;
using kesto::server::parse_server_config;
using kesto::server::ServerConfig;
using kesto::server::SystemType;

namespace {

int parse(const std::string& text, ServerConfig& config) {
    return parse_server_config(text, config);
}

int parse_fresh(const std::string& text) {
    ServerConfig c;
    return parse(text, c);
}

}  // namespace

TEST(ServerConfig, DefaultsWhenNoKeyIsPresent) {
    ServerConfig c;
    EXPECT_EQ(parse("[GLOBAL]\r\nSOMETHING=else\r\n", c), 0);
    EXPECT_TRUE(c.bind_address.is_any());
    EXPECT_EQ(c.log_level, LogLevel::fatal);
    EXPECT_EQ(c.log_file_name, "");
    EXPECT_EQ(c.port, 21);
    EXPECT_EQ(c.idle_timeout_seconds, 900);
    EXPECT_EQ(c.data_timeout_seconds, 60);
    EXPECT_EQ(c.login_timeout_seconds, 60);
}

TEST(ServerConfig, KeysAreFoundInAnySectionAndNormalised) {
    ServerConfig c;
    EXPECT_EQ(parse("[USERJOHN]\r\n log_level \t=  informational \r\n"
                    "[GLOBAL]\nSYSTEM_ADDRESS\t= 10.1.2.3\nLOG_FILENAME = c:/my logs/ftp.log\n"
                    "SYSTEM_TYPE=okuma\nSYSTEM_PORT = 2121\nIDLE_TIMEOUT=0\nDATA_TIMEOUT=5\n",
                    c),
              0);
    EXPECT_EQ(c.log_level, LogLevel::informational);
    EXPECT_EQ(kesto::platform::to_text(c.bind_address), "10.1.2.3");
    EXPECT_EQ(c.log_file_name, "C:/MYLOGS/FTP.LOG");
    EXPECT_EQ(c.system_type, SystemType::OKUMA);
    EXPECT_EQ(c.port, 2121);
    EXPECT_EQ(c.idle_timeout_seconds, 0);
    EXPECT_EQ(c.data_timeout_seconds, 5);
}

TEST(ServerConfig, AddressesTakeTheLowEightBitsOfEachNumber) {
    ServerConfig c;
    EXPECT_EQ(parse("SYSTEM_ADDRESS=256.257.-1.0\n", c), 0);
    EXPECT_EQ(kesto::platform::to_text(c.bind_address), "0.1.255.0");
    EXPECT_EQ(parse_fresh("SYSTEM_ADDRESS=1.2.3\n"), 1);
    EXPECT_EQ(parse_fresh("SYSTEM_ADDRESS=a.b.c.d\n"), 1);
    EXPECT_EQ(parse_fresh("SYSTEM_ADDRESS=0.0.0.0\n"), 0);
}

TEST(ServerConfig, BadOrEmptyValuesSetTheErrorFlag) {
    for (const char* bad :
         {"LOG_LEVEL=\n", "LOG_LEVEL=LOUD\n", "SYSTEM_TYPE=VMS\n", "SYSTEM_PORT=0\n",
          "SYSTEM_PORT=65536\n", "SYSTEM_PORT=21x\n", "IDLE_TIMEOUT=-1\n", "IDLE_TIMEOUT=86401\n",
          "DATA_TIMEOUT=0\n", "DATA_TIMEOUT=3601\n", "FTPUSER=a,b\n", "LOG_FILENAME=\n",
          "LOGIN_TIMEOUT=0\n", "LOGIN_TIMEOUT=3601\n", "LOGIN_TIMEOUT=5s\n"}) {
        EXPECT_EQ(parse_fresh(bad), 1) << bad;
    }
    EXPECT_EQ(parse_fresh("LOG_FILENAME=" + std::string(128, 'x') + "\n"), 1);
    EXPECT_EQ(parse_fresh("LOG_FILENAME=" + std::string(127, 'x') + "\n"), 0);
}

TEST(ServerConfig, LoginTimeoutIsReadLikeTheOtherLimitsAndNeverPassesTheIdleLimit) {
    using kesto::server::login_limit_seconds;
    ServerConfig c;
    EXPECT_EQ(parse(" login_timeout = 3600 \r\nIDLE_TIMEOUT=0\r\n", c), 0);
    EXPECT_EQ(c.login_timeout_seconds, 3600);
    EXPECT_EQ(login_limit_seconds(c), 3600);  // no idle limit: LOGIN_TIMEOUT alone
    EXPECT_EQ(parse("IDLE_TIMEOUT=3\n", c), 0);
    EXPECT_EQ(login_limit_seconds(c), 3);
    EXPECT_EQ(parse("LOGIN_TIMEOUT=1\n", c), 0);
    EXPECT_EQ(login_limit_seconds(c), 1);
    // Out of range: the flag is set and the value stays as it was.
    ServerConfig d;
    EXPECT_EQ(parse("LOGIN_TIMEOUT=0\n", d), 1);
    EXPECT_EQ(d.login_timeout_seconds, 60);
}

TEST(ServerConfig, FtpUserEntries) {
    ServerConfig c;
    EXPECT_EQ(parse("FTPUSER=a,,b,c,d\n", c), 0);
    ASSERT_EQ(c.ftp_users.size(), 1u);
    EXPECT_EQ(c.ftp_users[0].first, "A");
    EXPECT_EQ(c.ftp_users[0].second, "B");
    EXPECT_EQ(c.ftp_users[0].third, "C");
    std::string many;
    for (int i = 0; i < 64; ++i) many += "FTPUSER=a,b,c\n";
    EXPECT_EQ(parse_fresh(many), 0);
    EXPECT_EQ(parse_fresh(many + "FTPUSER=a,b,c\n"), 1);
}

TEST(ServerConfig, LastGoodValueWinsAndLongLinesAreSplit) {
    ServerConfig c;
    EXPECT_EQ(parse("LOG_LEVEL=EXTREME\nLOG_LEVEL=NONE\n", c), 0);
    EXPECT_EQ(c.log_level, LogLevel::none);
    // A line over 254 characters is read as several: the key after the cut is a line of its own.
    ServerConfig d;
    EXPECT_EQ(parse("X=" + std::string(252, 'y') + "LOG_LEVEL=EXTREME\n", d), 0);
    EXPECT_EQ(d.log_level, LogLevel::extreme);
}

TEST(ServerConfig, ReadingStopsAtAnUnknownLineOnceAnErrorIsSeen) {
    ServerConfig c;
    EXPECT_EQ(parse("LOG_LEVEL=BAD\nLOG_LEVEL=EXTREME\nJUNK\nSYSTEM_PORT=99\n", c), 1);
    EXPECT_EQ(c.log_level, LogLevel::extreme);
    EXPECT_EQ(c.port, 21);
}

TEST(CommandLine, PathAndStopSwitch) {
    using kesto::server::parse_command_line;
    const char* none[] = {"kftpd"};
    EXPECT_EQ(parse_command_line(1, none, "/opt/k").config_path, "/opt/k/KestoFTP.ini");
    const char* dashes[] = {"kftpd", "-x", "--verbose"};
    EXPECT_EQ(parse_command_line(3, dashes, "/opt/k").config_path, "/opt/k/KestoFTP.ini");
    const char* both[] = {"kftpd", "-S", "/etc/my config.ini", "other.ini"};
    const auto cl = parse_command_line(4, both, "/opt/k");
    EXPECT_TRUE(cl.stop);
    EXPECT_EQ(cl.config_path, "/etc/my config.ini");
    const char* help[] = {"kftpd", "--help", "--version"};
    EXPECT_TRUE(parse_command_line(3, help, "/").help);
    EXPECT_TRUE(parse_command_line(3, help, "/").version);
}
