// Sessions: login, accounts, confinement and read-only access against the real server.
#include <gtest/gtest.h>
#include <unistd.h>

#include "ftp_replies.h"
#include "test_server.h"

using namespace kesto::test;

namespace {

const std::string kUserDenied = "530 User access denied.\r\n";
const std::string kNotLoggedIn = "530 Not logged in.\r\n";

std::string account(const std::string& name, const std::string& keys) {
    return "[USER" + name + "]\r\n" + keys + "\r\n";
}

class Login : public ::testing::Test {
  protected:
    void SetUp() override {
        files_ = folder_.path() / "files";
        fs::create_directories(files_ / "NC");
        fs::create_directories(folder_.path() / "files2");
        fs::create_symlink(folder_.path(), files_ / "UP");
        write_file(
            folder_.accounts(),
            account("JOHN", "NAME=john\r\nPASS=SeCreT\r\nPATH=" + files_.string()) +
                account("CNC", "NAME=cnc\r\nPASS=x\r\nROOT=1\r\nSYS=okuma\r\nPATH=" +
                                   files_.string() + "/") +
                account("RO", "NAME=ro\r\nPASS=x\r\nREADONLY=yes\r\nPATH=" + files_.string()) +
                account("NOPATH", "NAME=nopath\r\nPASS=x") +
                account("GONE", "NAME=gone\r\nPASS=x\r\nPATH=/nonexistent/kesto") +
                account("LONG", "NAME=long\r\nPASS=x\r\nPATH=/" + std::string(1100, 'p')));
        server_ = std::make_unique<ServerUnderTest>(folder_, "EXTREME", extra_config());
        ASSERT_TRUE(server_->ready());
    }
    virtual std::string extra_config() const { return ""; }

    std::unique_ptr<FtpConnection> connect() {
        auto c = std::make_unique<FtpConnection>(server_->port());
        EXPECT_EQ(c->reply().substr(0, 4), "220-");
        return c;
    }
    std::string log() const { return read_file(folder_.log()); }

    ProgramFolder folder_;
    fs::path files_;
    std::unique_ptr<ServerUnderTest> server_;
};

}  // namespace

TEST_F(Login, NormalisedLinesAndCaseInsensitiveCredentials) {
    auto c = connect();
    EXPECT_EQ(c->command("  user   john  "), "331 User name okay, need password.\r\n");
    EXPECT_EQ(c->command("PASS secret"), "230 User logged in, proceed.\r\n");
    EXPECT_EQ(c->command("PWD"),
              "257 \"" + fs::canonical(files_).string() + "\" is current directory.\r\n");
    EXPECT_NE(log().find("(127.0.0.1) C->S: USER JOHN\r\n"), std::string::npos);
    EXPECT_NE(log().find("(127.0.0.1) Client logged in as 'JOHN'.\r\n"), std::string::npos);
}

TEST_F(Login, WrongPasswordKeepsTheConnectionAndNoPasswordIsLogged) {
    auto c = connect();
    c->command("USER john");
    EXPECT_EQ(c->command("PASS wrong"), kRefused);
    EXPECT_EQ(c->command("PWD"), "550 Requested action not taken.\r\n");
    EXPECT_TRUE(c->login("JOHN", "secret"));
    const std::string text = log();
    EXPECT_EQ(text.find("SECRET"), std::string::npos);
    EXPECT_EQ(text.find("WRONG"), std::string::npos);
    EXPECT_NE(text.find("C->S: PASS ****\r\n"), std::string::npos);
}

TEST_F(Login, MalformedPassLinesAreMaskedInTheTrace) {
    auto c = connect();
    c->command("USER john");
    for (const std::string line : {"PASS\tTABBED", "PASSGLUED", "PASS:COLON", "  pass  lower"}) {
        c->command(line);
    }
    const std::string text = log();
    for (const char* secret : {"TABBED", "GLUED", "COLON", "LOWER"}) {
        EXPECT_EQ(text.find(secret), std::string::npos) << secret;
    }
    std::size_t masked = 0;
    for (auto at = text.find("C->S: PASS ****\r\n"); at != std::string::npos;
         at = text.find("C->S: PASS ****\r\n", at + 1)) {
        ++masked;
    }
    EXPECT_EQ(masked, 4u);
}

TEST_F(Login, StrayPassAndUserLogOut) {
    auto c = connect();
    EXPECT_EQ(c->command("PASS x"), "503 Bad sequence of commands.\r\n");
    ASSERT_TRUE(c->login("john", "secret"));
    EXPECT_EQ(c->command("PASS x"), "503 Bad sequence of commands.\r\n");
    EXPECT_EQ(c->command("CWD NC"), kNotLoggedIn);
    ASSERT_TRUE(c->login("john", "secret"));
    EXPECT_EQ(c->command("USER john"), "331 User name okay, need password.\r\n");
    EXPECT_EQ(c->command("CWD NC"), kNotLoggedIn);
    EXPECT_EQ(c->command("ACCT x"), "503 Bad sequence of commands.\r\n");
    EXPECT_EQ(c->command("PASS secret"), "230 User logged in, proceed.\r\n");
    EXPECT_EQ(c->command("ACCT x"), "230 User logged in, proceed.\r\n");
}

TEST_F(Login, LongLoginLinesAndUnknownCommands) {
    auto c = connect();
    EXPECT_EQ(c->command("USER " + std::string(95, 'u')),
              "500 Syntax error, command unrecognized.\r\n");
    EXPECT_EQ(c->command("USER " + std::string(94, 'u')), "331 User name okay, need password.\r\n");
    EXPECT_EQ(c->command("PASS " + std::string(95, 'p')),
              "500 Syntax error, command unrecognized.\r\n");
    EXPECT_EQ(c->command("PASS x"), kRefused);  // USER still stood
    EXPECT_EQ(c->command("NO"), "500 Syntax error, command unrecognized.\r\n");
    EXPECT_EQ(c->command("NOOPX"), "200 Command okay.\r\n");
    EXPECT_EQ(c->command("XYZZY"), "500 Syntax error, command unrecognized.\r\n");
    EXPECT_EQ(c->command("CWD /"), kNotLoggedIn);
    EXPECT_EQ(c->command("QUIT"), "221 Service closing control connection.\r\n");
    EXPECT_TRUE(c->closed_by_server());
}

TEST_F(Login, AccountSettingsAndDefaults) {
    auto c = connect();
    ASSERT_TRUE(c->login("cnc", "X"));
    EXPECT_NE(log().find("System type: 5 (okuma)\r\n"), std::string::npos);
    EXPECT_NE(log().find("Root only: Yes\r\n"), std::string::npos);
    ASSERT_TRUE(c->login("nopath", "x"));
    EXPECT_EQ(c->command("PWD"), "257 \"/tmp\" is current directory.\r\n");
    EXPECT_NE(log().find("System type: 1 ()\r\n"), std::string::npos);
    // A folder that does not exist still logs in; names then fail instead of landing elsewhere.
    ASSERT_TRUE(c->login("gone", "x"));
    EXPECT_EQ(c->command("PWD"), "257 \"/nonexistent/kesto\" is current directory.\r\n");
    EXPECT_EQ(c->command("CWD .."), "550 Requested action not taken.\r\n");
}

TEST_F(Login, OverlongPathRefusesTheLogin) {
    auto c = connect();
    c->command("USER long");
    EXPECT_EQ(c->command("PASS x"), kRefused);
    EXPECT_EQ(c->command("PWD"), "550 Requested action not taken.\r\n");
    EXPECT_NE(log().find("is longer than 1024 characters.\r\n"), std::string::npos);
}

TEST_F(Login, ConfinedAccountStaysInItsFolder) {
    auto c = connect();
    ASSERT_TRUE(c->login("cnc", "x"));
    const std::string root = fs::canonical(files_).string();
    // A trailing separator on PATH still admits the folder itself.
    EXPECT_EQ(c->command("CWD " + root), "250 Requested file action okay, completed.\r\n");
    for (const std::string& outside :
         {std::string(".."), std::string("/"), root + "2", std::string("UP"),
          std::string("UP/FILES2"), std::string("..\\FILES2"), std::string("/etc")}) {
        EXPECT_EQ(c->command("CWD " + outside), kDenied) << outside;
    }
    EXPECT_EQ(c->command("CDUP"), kDenied);
    EXPECT_EQ(c->command("CWD MISSING"), "550 Requested action not taken.\r\n");
    EXPECT_EQ(c->command("CWD nc"), "250 Requested file action okay, completed.\r\n");
    EXPECT_EQ(c->command("CDUP"), "200 Command okay.\r\n");
    EXPECT_EQ(c->command("CWD /etc"), kDenied);
    // OKUMA accounts see '/'-separated paths; a failed CWD changed nothing.
    EXPECT_EQ(c->command("PWD"), "257 \"" + root + "\" is current directory.\r\n");
}

TEST_F(Login, ReadOnlyAccountIsRefusedBeforeTheLoginTest) {
    auto c = connect();
    ASSERT_TRUE(c->login("ro", "x"));
    for (const char* command : {"STOR A", "STOU", "APPE A", "DELE A", "MKD A", "XMKD A", "RMD NC",
                                "XRMD NC", "RNFR NC", "RNTO B"}) {
        EXPECT_EQ(c->command(command), kUserDenied) << command;
    }
    EXPECT_EQ(c->command("REIN"), "220 Service ready for new user.\r\n");
    EXPECT_EQ(c->command("STOR A"), kUserDenied);
    EXPECT_EQ(c->command("RETR A"), kNotLoggedIn);
}

namespace {

class IdleLogin : public Login {
  protected:
    std::string extra_config() const override { return "IDLE_TIMEOUT=1\r\n"; }
};

}  // namespace

TEST_F(IdleLogin, IdleSessionIsClosed) {
    auto c = connect();
    EXPECT_EQ(c->command("NOOP"), "200 Command okay.\r\n");
    EXPECT_EQ(c->reply(5s), kRefused);
    EXPECT_TRUE(c->closed_by_server());
    EXPECT_NE(log().find("(127.0.0.1) Client is terminated.\r\n"), std::string::npos);
}
