// Command lines over a socket pair: pieces, pipelining, CR-only ends, Telnet
// sequences, over-long lines, time-outs, and replies at the line limit.
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <memory>
#include <string>

#include "platform/connection.h"
#include "platform/net.h"
#include "server/protocol/control_channel.h"

using namespace kesto::server;
using kesto::platform::UniqueFd;

namespace {

class CommandReaderTest : public ::testing::Test {
  protected:
    void SetUp() override {
        int fds[2];
        ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
        server_ = std::make_unique<kesto::platform::SocketConnection>(UniqueFd(fds[0]));
        client_.reset(fds[1]);
    }
    void client_sends(const std::string& bytes) {
        ASSERT_EQ(kesto::platform::send_all(client_.get(), bytes.data(), bytes.size()), 0);
    }
    std::string next(ReadStatus expected = kLineRead, int timeout_ms = 2000) {
        std::string line;
        EXPECT_EQ(reader_.read_command_line(log_, *server_, line, timeout_ms), expected);
        return line;
    }
    std::string client_receives() {
        char buf[1024];
        const long n = kesto::platform::receive_some(client_.get(), buf, sizeof buf);
        return n > 0 ? std::string(buf, static_cast<std::size_t>(n)) : std::string();
    }

    LogPoster log_{LogLevel::none, [](LogLevel, const std::string&) {}};
    std::unique_ptr<kesto::platform::SocketConnection> server_;
    UniqueFd client_;
    CommandReader reader_;
};

}  // namespace

TEST_F(CommandReaderTest, LinesInPiecesAndPipelined) {
    client_sends("NO");
    client_sends("O");
    client_sends("P\r\n");
    EXPECT_EQ(next(), "NOOP");
    client_sends("NOOP\r\nPWD\r\nSYST\n");
    EXPECT_EQ(next(), "NOOP");
    EXPECT_EQ(next(), "PWD");
    EXPECT_EQ(next(), "SYST");
}

TEST_F(CommandReaderTest, CarriageReturnEndsALineAndItsLaterLineFeedIsSkipped) {
    client_sends("NOOP\r");
    EXPECT_EQ(next(), "NOOP");
    client_sends("\nPWD\r\n");
    EXPECT_EQ(next(), "PWD");
    // Only the LF directly after the CR is skipped: an empty line is still a line.
    client_sends("\r\n\r\n");
    EXPECT_EQ(next(), "");
}

TEST_F(CommandReaderTest, TelnetSequencesAreDropped) {
    // IAC IP IAC DM before ABOR, as urgent-data clients send it; IAC WILL x; IAC IAC.
    client_sends(
        "\xff\xf4\xff\xf2"
        "ABOR\r\n");
    EXPECT_EQ(next(), "ABOR");
    client_sends(
        "A\xff\xfb\x01"
        "B\xff\xff"
        "C\r\n");
    EXPECT_EQ(next(),
              "AB\xff"
              "C");
}

TEST_F(CommandReaderTest, OverlongLineIsRefusedOnceAndTheRestDiscarded) {
    client_sends(std::string(600, 'x') + "\r\nNOOP\r\n");
    EXPECT_EQ(next(kLineTooLong), "");
    EXPECT_EQ(next(), "NOOP");
    // A line of 511 characters is still a line; the session decides what to do with it.
    client_sends(std::string(511, 'y') + "\r\n");
    EXPECT_EQ(next().size(), 511u);
}

TEST_F(CommandReaderTest, CloseAndTimeout) {
    EXPECT_EQ(next(kReadTimedOut, 50), "");
    client_sends("PARTIAL");
    EXPECT_EQ(next(kReadTimedOut, 50), "");
    client_.reset();
    next(kReceiveFailed);
}

TEST_F(CommandReaderTest, RepliesAtTheLineLimit) {
    const std::string tag = "127.0.0.1";
    EXPECT_EQ(send_reply(log_, tag, *server_, 220, true, std::string(243, 'a')), 0);
    const std::string line = client_receives();
    EXPECT_EQ(line.size(), 250u);
    EXPECT_EQ(line.substr(0, 5), "220- ");
    EXPECT_EQ(send_reply(log_, tag, *server_, 220, false, std::string(245, 'a')), 1);
    EXPECT_EQ(send_reply(log_, tag, *server_, 200, false, std::string(244, 'a')), 0);
    EXPECT_EQ(client_receives().size(), 250u);
    EXPECT_EQ(send_text(log_, *server_, ""), 0);
    EXPECT_EQ(send_text(log_, *server_, std::string(251, 'b')), 1);
}

TEST_F(CommandReaderTest, ByteFFOfANameIsSentDoubledAndReadBackOnce) {
    // The limit counts the text as composed: 244 bytes with two 0xFF still fit.
    const std::string name = "A\xff" + std::string(241, 'b') + "\xff";
    EXPECT_EQ(send_reply(log_, "127.0.0.1", *server_, 257, false, name), 0);
    EXPECT_EQ(client_receives(), "257 A\xff\xff" + std::string(241, 'b') + "\xff\xff\r\n");
    client_sends("CWD A\xff\xff" + std::string(241, 'b') + "\xff\xff\r\n");
    EXPECT_EQ(next(), "CWD " + name);
}

TEST_F(CommandReaderTest, SendErrorsAreLoggedWithTheirTag) {
    std::vector<std::string> lines;
    LogPoster log{LogLevel::extreme, [&](LogLevel, const std::string& t) { lines.push_back(t); }};
    client_.reset();
    EXPECT_EQ(send_text(log, *server_, "200 x\r\n"), 2);
    EXPECT_EQ(send_block(log, *server_, std::string(10000, 'd').data(), 10000), 1);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "(SSR) Socket send error: 32");
    EXPECT_EQ(lines[1], "(SSB) Socket send error: 32 10000 <<" + std::string(4096, 'd') + ">>");
}

TEST(LoggedBlockText, EndsAtTheFirstZeroByteOrTheLimit) {
    using namespace std::string_literals;
    EXPECT_EQ(logged_block_text("ab\0cd"s), "ab");
    EXPECT_EQ(logged_block_text("\0ab"s), "");
    EXPECT_EQ(logged_block_text(std::string(5000, 'x')), std::string(4096, 'x'));
    EXPECT_EQ(logged_block_text(std::string(4096, 'x') + "\0"s), std::string(4096, 'x'));
}
