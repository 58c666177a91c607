// Peers that stop reading, and peers that never log in, against the running server:
// each loses its session within its limit and frees its slot; passive sockets listen
// only where the client reached the server.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

#include <memory>

#include "platform/net.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::UniqueFd;

namespace {

// Far more replies than any socket buffer holds, when the client never reads.
const std::string kManyHelps = [] {
    std::string lines;
    for (int i = 0; i < 4000; ++i) lines += "HELP\r\n";
    return lines;
}();

// A client that reads only when told. Small receive buffers and a small segment size
// (by which the server sizes its send buffer) let a few hundred KiB fill everything
// between the server and a client that stops reading.
class SlowReader {
  public:
    explicit SlowReader(int port) {
        fd_.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        const int buffer = 4096;
        const int segment = 536;
        ::setsockopt(fd_.get(), SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        ::setsockopt(fd_.get(), IPPROTO_TCP, TCP_MAXSEG, &segment, sizeof segment);
        sockaddr_in sa{};
        sa.sin_family = AF_INET;
        sa.sin_port = htons(static_cast<std::uint16_t>(port));
        sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        if (::connect(fd_.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) fd_.reset();
    }
    int fd() const { return fd_.get(); }

    // Sends what fits now; the rest is dropped (the server stops reading too).
    void send_without_waiting(const std::string& bytes) {
        (void)::send(fd_.get(), bytes.data(), bytes.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    }
    void send_line(const std::string& line) {
        ASSERT_EQ(kesto::platform::send_all(fd_.get(), (line + "\r\n").data(), line.size() + 2), 0);
    }
    // Reads until `text` has arrived (true) or the server closed or the limit passed.
    bool read_until(const std::string& text, std::chrono::milliseconds limit = 10s) {
        const auto deadline = std::chrono::steady_clock::now() + limit;
        while (received_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 ||
                kesto::platform::wait_readable(fd_.get(), static_cast<int>(left.count())) !=
                    kesto::platform::WaitResult::ready) {
                return false;
            }
            char buf[65536];
            const long n = kesto::platform::receive_some(fd_.get(), buf, sizeof buf);
            if (n <= 0) return false;
            received_.append(buf, static_cast<std::size_t>(n));
        }
        received_.erase(0, received_.find(text) + text.size());
        return true;
    }

  private:
    UniqueFd fd_;
    std::string received_;
};

class StalledPeers : public ::testing::Test {
  protected:
    // A folder whose long listing is about 200 KiB.
    void start(const std::string& extra) {
        files_ = fs::canonical(folder_.path()) / "files";
        fs::create_directories(files_);
        for (int i = 0; i < 1000; ++i) {
            write_file(files_ / (std::to_string(10000 + i) + std::string(145, 'N')), "");
        }
        write_file(folder_.accounts(),
                   "[USERU]\r\nNAME=u\r\nPASS=pw\r\nROOT=yes\r\nPATH=" + files_.string() + "\r\n");
        server_ = std::make_unique<ServerUnderTest>(folder_, "INFORMATIONAL", extra);
        ASSERT_TRUE(server_->ready());
    }
    void log_in(SlowReader& c) {
        ASSERT_TRUE(c.read_until("220  "));
        c.send_line("USER u");
        ASSERT_TRUE(c.read_until("331 "));
        c.send_line("PASS pw");
        ASSERT_TRUE(c.read_until("230 "));
    }
    // The log holds `text` at least `times` times, within the limit.
    bool logged(const std::string& text, int times = 1, std::chrono::milliseconds limit = 20s) {
        return wait_until(
            [&] {
                const std::string log = read_file(folder_.log());
                int n = 0;
                for (auto p = log.find(text); p != std::string::npos; p = log.find(text, p + 1))
                    ++n;
                return n >= times;
            },
            limit);
    }
    bool new_client_logs_in(std::chrono::milliseconds limit) {
        return wait_until(
            [&] {
                FtpConnection c(server_->port());
                return c.reply(2s).starts_with("220-") && c.login("U", "pw");
            },
            limit);
    }

    ProgramFolder folder_;
    fs::path files_;
    std::unique_ptr<ServerUnderTest> server_;
};

const std::string kTimedOutSend = "Socket send error: 110";

}  // namespace

TEST_F(StalledPeers, PeersThatPipelineAndNeverReadLoseEverySlotWithinTheLoginLimit) {
    start("IDLE_TIMEOUT=60\r\nLOGIN_TIMEOUT=2\r\n");
    std::vector<std::unique_ptr<SlowReader>> stalled;
    for (int i = 0; i < 32; ++i) {
        stalled.push_back(std::make_unique<SlowReader>(server_->port()));
        ASSERT_GE(stalled.back()->fd(), 0);
        stalled.back()->send_without_waiting(kManyHelps);
    }
    // Every session ends in a send that moved nothing for the login limit.
    EXPECT_TRUE(logged("(SSR) " + kTimedOutSend, 32));
    EXPECT_TRUE(logged("(127.0.0.1) Client is terminated.", 32));
    EXPECT_TRUE(new_client_logs_in(10s));
}

TEST_F(StalledPeers, LoggedInReadersThatStopReadingAListingAreCutOff) {
    start("IDLE_TIMEOUT=2\r\n");
    // A folder status on the control connection...
    SlowReader status(server_->port());
    log_in(status);
    status.send_line("STAT .");
    // ...and a listing on a data connection.
    FtpConnection control(server_->port());
    control.reply();
    ASSERT_TRUE(control.login("U", "pw"));
    const int port = passive_port(control.command("PASV"));
    ASSERT_NE(port, 0);
    SlowReader data(port);
    ASSERT_GE(data.fd(), 0);
    EXPECT_EQ(control.command("LIST").substr(0, 4), "150 ");
    // Each fails once nothing has moved for the idle limit: the listing gets its reply,
    // and the status reader, whose control connection failed, loses its session.
    const std::string after = control.reply(20s);
    EXPECT_TRUE(!after.empty() || control.closed_by_server(1s));
    EXPECT_TRUE(logged("(SSB) " + kTimedOutSend, 2));
    EXPECT_TRUE(logged("(127.0.0.1) Client is terminated."));
}

TEST_F(StalledPeers, LoginLimitEndsStrangersWhileALoggedInReaderMayPause) {
    start("IDLE_TIMEOUT=30\r\nLOGIN_TIMEOUT=1\r\n");
    // Logged in, the reader stops reading a folder status that fills every buffer...
    SlowReader reader(server_->port());
    log_in(reader);
    reader.send_line("STAT .");
    ASSERT_TRUE(reader.read_until("212- Directory status.\r\n"));
    // ...while two connections in turn that never log in are ended by the login limit.
    for (int i = 0; i < 2; ++i) {
        FtpConnection stranger(server_->port());
        EXPECT_EQ(stranger.reply().substr(0, 4), "220-");
        EXPECT_EQ(stranger.reply(10s),
                  "421 Service not available, closing control connection.\r\n");
        EXPECT_TRUE(stranger.closed_by_server());
    }
    EXPECT_TRUE(logged("(127.0.0.1) Idle time-out.", 2));
    // The reader paused for twice the login limit and still gets all of its reply.
    EXPECT_TRUE(reader.read_until("\r\n212 Directory status.\r\n"));
    reader.send_line("NOOP");
    EXPECT_TRUE(reader.read_until("200 Command okay.\r\n"));
    EXPECT_EQ(read_file(folder_.log()).find(kTimedOutSend), std::string::npos);
}

TEST_F(StalledPeers, PassiveSocketListensOnlyWhereTheClientReachedTheServer) {
    // Configured 127.0.0.1, and every address (the control connection's own is used).
    for (const char* address : {"", "SYSTEM_ADDRESS=0.0.0.0\r\n"}) {
        SCOPED_TRACE(address);
        server_.reset();
        start(address);
        FtpConnection control(server_->port());
        control.reply();
        ASSERT_TRUE(control.login("U", "pw"));
        const std::string reply = control.command("PASV");
        EXPECT_TRUE(reply.starts_with("227 Entering Passive Mode (127,0,0,1,")) << reply;
        const auto port = static_cast<std::uint16_t>(passive_port(reply));
        UniqueFd other;
        EXPECT_EQ(kesto::platform::connect_tcp({{{127, 0, 0, 2}}, port}, 5000, other),
                  ECONNREFUSED);
        UniqueFd data;
        ASSERT_EQ(kesto::platform::connect_tcp({{{127, 0, 0, 1}}, port}, 5000, data), 0);
        EXPECT_EQ(control.command("NLST").substr(0, 4), "150 ");
        EXPECT_EQ(read_all(data.get()).size(), 1000u * 152);
        EXPECT_EQ(control.reply(), "226 Transfer complete.\r\n");
    }
}
