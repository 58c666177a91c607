// Login protections against the real server: the failed-login log line, the delay of a
// failed PASS, the failures a connection may make, the sessions per client address,
// and the start refused for a bad value of their keys.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>

#include "ftp_replies.h"
#include "platform/net.h"
#include "test_server.h"

using namespace kesto::test;
using Clock = std::chrono::steady_clock;

namespace {

const std::string kLoginFailed = "(127.0.0.1) Login failed for user 'JOHN'.\r\n";
const std::string kTooMany = "(127.0.0.1) Too many failed logins, connection closed.\r\n";
const std::string kCrowded =
    "(Listener) Too many connections from 127.0.0.1, connection refused.\r\n";

// The log line holding `part`, from its level mark ('!': FATAL) on.
std::string line_with(const std::string& log, const std::string& part) {
    const auto at = log.find(part);
    if (at == std::string::npos) return {};
    const auto start = log.rfind('\n', at);
    const auto begin = start == std::string::npos ? 0 : start + 1;
    return log.substr(begin, at + part.size() - begin);
}

// The replies that arrive before `until`; later ones stay for FtpConnection::reply.
std::vector<std::string> replies_before(FtpConnection& c, Clock::time_point until) {
    std::vector<std::string> replies;
    for (;;) {
        const auto left =
            std::chrono::duration_cast<std::chrono::milliseconds>(until - Clock::now());
        if (left.count() <= 0) return replies;
        std::string reply = c.reply(left);
        if (reply.empty()) return replies;
        replies.push_back(std::move(reply));
    }
}

class LoginProtection : public ::testing::Test {
  protected:
    void start(const std::string& extra_config) {
        fs::create_directories(folder_.path() / "files");
        write_file(folder_.accounts(), "[USERJOHN]\r\nNAME=john\r\nPASS=SeCreT\r\nPATH=" +
                                           (folder_.path() / "files").string() + "\r\n");
        server_ = std::make_unique<ServerUnderTest>(folder_, "INFORMATIONAL", extra_config);
        ASSERT_TRUE(server_->ready());
    }
    std::unique_ptr<FtpConnection> connect() {
        auto c = std::make_unique<FtpConnection>(server_->port());
        EXPECT_EQ(c->reply().substr(0, 4), "220-");
        return c;
    }
    static std::string fail(FtpConnection& c, const std::string& user = "john") {
        EXPECT_EQ(c.command("USER " + user), "331 User name okay, need password.\r\n");
        return c.command("PASS wrongpass");
    }
    std::string log() const { return read_file(folder_.log()); }

    ProgramFolder folder_;
    std::unique_ptr<ServerUnderTest> server_;
};

}  // namespace

TEST_F(LoginProtection, FailuresAreLoggedAndTheLimitIsPerConnectionThroughReinAndLogin) {
    start("MAX_LOGIN_FAILURES=3\r\n");
    auto c = connect();
    EXPECT_EQ(fail(*c, "nobody"), kRefused);
    EXPECT_EQ(c->command("NOOP"), "200 Command okay.\r\n");  // below the limit it stays open
    ASSERT_TRUE(c->login("john", "secret"));
    EXPECT_EQ(c->command("REIN"), "220 Service ready for new user.\r\n");
    EXPECT_EQ(fail(*c), kRefused);
    EXPECT_EQ(c->command("NOOP"), "200 Command okay.\r\n");
    EXPECT_EQ(fail(*c), kRefused);  // the third: answered, then closed
    EXPECT_TRUE(c->closed_by_server());
    // Another connection starts its own count.
    auto next = connect();
    EXPECT_TRUE(next->login("john", "secret"));

    const std::string text = log();
    EXPECT_EQ(count(text, "(127.0.0.1) Login failed for user 'NOBODY'.\r\n"), 1);
    EXPECT_EQ(count(text, kLoginFailed), 2);
    EXPECT_EQ(line_with(text, kLoginFailed)[0], ' ');
    EXPECT_EQ(line_with(text, kTooMany)[0], '!');
    EXPECT_EQ(count(text, kTooMany), 1);
    EXPECT_EQ(text.find("WRONGPASS"), std::string::npos);
}

TEST_F(LoginProtection, ZeroFailuresMeansNoLimit) {
    start("MAX_LOGIN_FAILURES=0\r\n");
    auto c = connect();
    for (int i = 0; i < 6; ++i) EXPECT_EQ(fail(*c), kRefused) << i;
    EXPECT_TRUE(c->login("john", "secret"));
    EXPECT_EQ(log().find("Too many failed logins"), std::string::npos);
}

TEST_F(LoginProtection, FailedPassesAreAnsweredAfterTheDelayAlsoWhenPipelined) {
    start("LOGIN_FAIL_DELAY=1\r\nMAX_LOGIN_FAILURES=0\r\n");
    auto c = connect();
    EXPECT_EQ(c->command("USER john"), "331 User name okay, need password.\r\n");
    auto sent = Clock::now();
    c->send_raw("PASS wrong\r\n");
    // The margin below one second covers the clocks' rounding only.
    EXPECT_TRUE(replies_before(*c, sent + 950ms).empty());
    EXPECT_EQ(c->reply(), kRefused);

    // Guesses sent in one piece each wait their own delay, and lines that arrive during
    // a delay do not cut it short.
    sent = Clock::now();
    c->send_raw("USER john\r\nPASS one\r\nUSER john\r\nPASS two\r\n");
    ASSERT_TRUE(wait_until([&] { return count(log(), kLoginFailed) == 2; }));
    c->send_raw("NOOP\r\n");
    std::vector<std::string> replies = replies_before(*c, sent + 1950ms);
    EXPECT_LE(std::count(replies.begin(), replies.end(), kRefused), 1);
    while (replies.size() < 5) {
        replies.push_back(c->reply());
        if (replies.back().empty()) break;
    }
    const std::string need_password = "331 User name okay, need password.\r\n";
    EXPECT_EQ(replies, (std::vector<std::string>{need_password, kRefused, need_password, kRefused,
                                                 "200 Command okay.\r\n"}));
}

TEST_F(LoginProtection, TheDelayEndsWithTheClientAndNeverHoldsUpTheStop) {
    start("LOGIN_FAIL_DELAY=60\r\n");
    // A client that closes during the delay ends its session without an answer.
    auto gone = connect();
    gone->send_raw("USER john\r\nPASS wrong\r\n");
    ASSERT_TRUE(wait_until([&] { return log().find(kLoginFailed) != std::string::npos; }));
    gone.reset();
    EXPECT_TRUE(wait_until([&] { return count(log(), "(127.0.0.1) Client is terminated.") == 1; }));
    // A session waiting out its delay does not keep the server from stopping.
    auto waiting = connect();
    waiting->send_raw("USER john\r\nPASS wrong\r\n");
    ASSERT_TRUE(wait_until([&] { return count(log(), kLoginFailed) == 2; }));
    ::kill(server_->pid(), SIGTERM);
    EXPECT_EQ(server_->wait_exit(), std::optional<int>(0));
}

TEST_F(LoginProtection, SessionsPerAddressAreCapped) {
    start("MAX_CLIENTS_PER_ADDRESS=2\r\nSYSTEM_ADDRESS6=::1\r\n");
    auto first = connect();
    auto second = connect();
    FtpConnection refused(server_->port());
    EXPECT_EQ(refused.reply(), kRefused);
    EXPECT_TRUE(refused.closed_by_server());
    // The cap is per address: another one still gets in.
    FtpConnection other(server_->port(), "127.0.0.2");
    ASSERT_TRUE(other.connected());
    EXPECT_EQ(other.reply().substr(0, 4), "220-");
    // IPv6 clients are counted by their own addresses.
    FtpConnection six(loopback6(), server_->port());
    EXPECT_EQ(six.reply().substr(0, 4), "220-");
    FtpConnection six_again(loopback6(), server_->port());
    EXPECT_EQ(six_again.reply().substr(0, 4), "220-");
    FtpConnection six_refused(loopback6(), server_->port());
    EXPECT_EQ(six_refused.reply(), kRefused);
    // A session that ends makes room for the next.
    EXPECT_EQ(first->command("QUIT"), "221 Service closing control connection.\r\n");
    EXPECT_TRUE(first->closed_by_server());
    auto third = connect();
    EXPECT_TRUE(third->login("john", "secret"));

    const std::string text = log();
    EXPECT_EQ(count(text, kCrowded), 1);
    EXPECT_EQ(count(text, "(Listener) Too many connections from ::1, connection refused.\r\n"), 1);
    EXPECT_EQ(line_with(text, kCrowded)[0], ' ');
    // The refused connection never took a slot.
    EXPECT_EQ(count(text, "New incomming connection from 127.0.0.1\r\n"), 3);
}
// No cap (0, the default): Connections.ThirtyThirdIsRefusedAndFreedSlotsAreReusedLowestFirst
// fills all 32 slots from 127.0.0.1.

TEST(LoginProtectionKeys, BadValuesRefuseTheStartAndTheLimitsAreAccepted) {
    ProgramFolder folder;
    for (const char* line : {"LOGIN_FAIL_DELAY=61", "LOGIN_FAIL_DELAY=-1", "LOGIN_FAIL_DELAY=soon",
                             "MAX_LOGIN_FAILURES=101", "MAX_LOGIN_FAILURES=three",
                             "MAX_CLIENTS_PER_ADDRESS=33", "MAX_CLIENTS_PER_ADDRESS=1x"}) {
        folder.write_config(free_port(), "INFORMATIONAL", std::string(line) + "\r\n");
        const RunResult r = run_kftpd(folder, {folder.config().string()});
        EXPECT_EQ(r.exit_status, 1) << line;
        EXPECT_EQ(r.stderr_text, "KESTO FTP Server: Error reading the configuration file!\n")
            << line;
    }
    ServerUnderTest server(
        folder, "INFORMATIONAL",
        "LOGIN_FAIL_DELAY=60\r\nMAX_LOGIN_FAILURES=100\r\nMAX_CLIENTS_PER_ADDRESS=32\r\n");
    EXPECT_TRUE(server.ready());
}
