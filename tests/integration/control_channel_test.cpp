// Connections against the running server: slots, the 33rd connection, and how
// command lines are read.
#include <gtest/gtest.h>

#include <memory>

#include "ftp_replies.h"
#include "test_server.h"

using namespace kesto::test;

namespace {}  // namespace

TEST(Connections, ThirtyThirdIsRefusedAndFreedSlotsAreReusedLowestFirst) {
    ProgramFolder folder;
    ServerUnderTest server(folder);
    ASSERT_TRUE(server.ready());
    std::vector<std::unique_ptr<FtpConnection>> clients;
    for (int i = 0; i < 32; ++i) {
        clients.push_back(std::make_unique<FtpConnection>(server.port()));
        ASSERT_EQ(clients.back()->reply().substr(0, 4), "220-") << i;
    }
    FtpConnection refused(server.port());
    EXPECT_EQ(refused.reply(), "421 Service not available, closing control connection.\r\n");
    EXPECT_TRUE(refused.closed_by_server());

    // Free slots 3 and 1; the next connection takes slot 1, the one after it slot 3.
    for (int slot : {3, 1}) {
        EXPECT_EQ(clients[slot]->command("QUIT"), "221 Service closing control connection.\r\n");
        EXPECT_TRUE(clients[slot]->closed_by_server());
    }
    FtpConnection next(server.port());
    EXPECT_EQ(next.reply().substr(0, 4), "220-");
    FtpConnection after(server.port());
    EXPECT_EQ(after.reply().substr(0, 4), "220-");
    const std::string log = read_file(folder.log());
    EXPECT_EQ(count(log, "(Listener) Using client handle 1\r\n"), 2);
    EXPECT_EQ(count(log, "(Listener) Using client handle 3\r\n"), 2);
    EXPECT_EQ(count(log, "(127.0.0.1) Client is terminated.\r\n"), 2);
}

TEST(Connections, GreetingAndPipelinedLines) {
    ProgramFolder folder;
    ServerUnderTest server(folder);
    ASSERT_TRUE(server.ready());
    FtpConnection c(server.port());
    const std::string greeting = c.reply();
    EXPECT_EQ(greeting.substr(0, 30), "220- KESTO FTP Server v2.02\r\n2");
    EXPECT_EQ(greeting.substr(29, 5), "220  ");
    // Two lines in one piece are both answered; the second is QUIT.
    c.send_raw("NOOP\r\nQUIT\r\n");
    EXPECT_FALSE(c.reply().empty());
    EXPECT_EQ(c.reply(), "221 Service closing control connection.\r\n");
    EXPECT_TRUE(c.closed_by_server());
    const std::string log = read_file(folder.log());
    EXPECT_EQ(count(log, "(127.0.0.1) S->C: 221 Service closing control connection.\r\n"), 1);
}

TEST(Connections, OverlongLineIsAnsweredAndTheSessionGoesOn) {
    ProgramFolder folder;
    ServerUnderTest server(folder);
    ASSERT_TRUE(server.ready());
    FtpConnection c(server.port());
    c.reply();
    c.send_raw(std::string(5000, 'A') + "\r\n");
    EXPECT_EQ(c.reply(), "500 Syntax error, command unrecognized.\r\n");
    EXPECT_EQ(c.command("QUIT"), "221 Service closing control connection.\r\n");
}
