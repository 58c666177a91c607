// Data connections and transfers against the real server: PORT and PASV, RETR, STOR,
// STOU, APPE, LIST and NLST, with their mended corners.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include "ftp_replies.h"
#include "platform/net.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::UniqueFd;

namespace {

const std::string kOpening = "150 Opening ASCII mode data connection for /bin/ls.\r\n";
const std::string kCannotOpen = "425 Can't open data connection.\r\n";

std::string pattern_file(std::size_t size) {
    std::string data(size, '\0');
    for (std::size_t i = 0; i < size; ++i) data[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return data;
}

void send_and_close(UniqueFd fd, const std::string& data) {
    ASSERT_EQ(kesto::platform::send_all(fd.get(), data.data(), data.size()), 0);
}

class Transfers : public ::testing::Test {
  protected:
    void SetUp() override {
        files_ = fs::canonical(folder_.path()) / "files";
        fs::create_directories(files_ / "NC");
        write_file(files_ / "A.NC", pattern_file(1000));
        write_file(files_ / "B.NC", "b");
        write_file(files_ / "SETUP.BAT", "echo");
        write_file(folder_.accounts(), "[USERU]\r\nNAME=u\r\nPASS=pw\r\nPATH=" + files_.string() +
                                           "\r\n[USERC]\r\nNAME=c\r\nPASS=pw\r\nROOT=yes\r\nPATH=" +
                                           files_.string() + "/NC\r\n");
        server_ = std::make_unique<ServerUnderTest>(folder_, "EXTREME", extra_config());
        ASSERT_TRUE(server_->ready());
        c_ = connect("U");
    }
    virtual std::string extra_config() const { return ""; }

    std::unique_ptr<FtpConnection> connect(const std::string& user) {
        auto c = std::make_unique<FtpConnection>(server_->port());
        c->reply();
        EXPECT_TRUE(c->login(user, "pw"));
        return c;
    }

    // A passive transfer: the command, then what came over the data connection.
    std::string passive_download(const std::string& command, std::string* final_reply = nullptr) {
        UniqueFd data = open_passive(*c_);
        EXPECT_TRUE(data);
        const std::string first = c_->command(command);
        if (first.rfind("150", 0) != 0) {
            if (final_reply) *final_reply = first;
            return {};
        }
        const std::string bytes = read_all(data.get());
        const std::string last = c_->reply();
        if (final_reply) *final_reply = last;
        return bytes;
    }

    std::string passive_upload(const std::string& command, const std::string& bytes) {
        UniqueFd data = open_passive(*c_);
        const std::string first = c_->command(command);
        if (first.rfind("150", 0) != 0) return first;
        send_and_close(std::move(data), bytes);
        return first + c_->reply();
    }

    ProgramFolder folder_;
    fs::path files_;
    std::unique_ptr<ServerUnderTest> server_;
    std::unique_ptr<FtpConnection> c_;
};

}  // namespace

TEST_F(Transfers, RetrPassiveAndActiveWithRestart) {
    std::string last;
    EXPECT_EQ(passive_download("RETR A.NC", &last), pattern_file(1000));
    EXPECT_EQ(last, kComplete);
    EXPECT_EQ(c_->command("REST 100"),
              "350 Requested file action pending further information.\r\n");
    EXPECT_EQ(passive_download("RETR a.nc"), pattern_file(1000).substr(100));
    EXPECT_EQ(passive_download("RETR A.NC"), pattern_file(1000));

    ActiveListener listener;
    EXPECT_EQ(c_->command(listener.port_command()), "200 Command okay.\r\n");
    EXPECT_EQ(c_->command("TYPE I"), "200 Command okay.\r\n");
    EXPECT_EQ(c_->command("RETR A.NC"), kOpening);
    UniqueFd data = listener.accept();
    ASSERT_TRUE(data);
    EXPECT_EQ(read_all(data.get()), pattern_file(1000));
    EXPECT_EQ(c_->reply(), kComplete);

    EXPECT_EQ(passive_download("RETR NC", &last), "");
    EXPECT_EQ(last, "550 Requested action not taken.\r\n");
    const std::string log = read_file(folder_.log());
    EXPECT_NE(log.find("Got request for: <A.NC>"), std::string::npos);
    EXPECT_NE(log.find("(127.0.0.1) Sending file to client (A.NC).\r\n"), std::string::npos);
    EXPECT_NE(log.find("(127.0.0.1) A.NC transmitted successfully.\r\n"), std::string::npos);
}

TEST_F(Transfers, FailedDataConnectionKeepsTheRestartOffset) {
    c_->command("REST 100");
    ActiveListener closed;
    const std::string port = closed.port_command();
    closed.socket.reset();  // nobody listens there any more
    EXPECT_EQ(c_->command(port), "200 Command okay.\r\n");
    EXPECT_EQ(c_->command("RETR A.NC"), kOpening);
    EXPECT_EQ(c_->reply(), kCannotOpen);
    EXPECT_EQ(passive_download("RETR A.NC"), pattern_file(1000).substr(100));
}

TEST_F(Transfers, PortForms) {
    EXPECT_EQ(c_->command("PORT 10,0,0,5,4,1"), "200 Command okay.\r\n");
    EXPECT_NE(c_->command("STAT").find("(1025)."), std::string::npos);
    EXPECT_EQ(c_->command("PORT 10,0,0,5,300,1"), "200 Command okay.\r\n");
    EXPECT_NE(c_->command("STAT").find("(11265)."), std::string::npos);  // (300*256+1) & 0xFFFF
    for (const char* bad : {"PORT 10,0,0,5,4", "PORT A,B,C,D,E,F", "PORT 1,2,3,4,5,6,7"}) {
        EXPECT_EQ(c_->command(bad), "501 Syntax error in parameters or arguments.\r\n") << bad;
    }
    EXPECT_EQ(c_->command("PASV X"), "501 Syntax error in parameters or arguments.\r\n");
}

TEST_F(Transfers, PassiveModeServesOneConnectionAndPortLeavesIt) {
    const std::string reply = c_->command("PASV");
    EXPECT_EQ(reply.substr(0, 37), "227 Entering Passive Mode (127,0,0,1,");
    EXPECT_NE(c_->command("STAT").find("Server is in passive mode. Listening on: 127.0.0.1 ("),
              std::string::npos);
    // PORT after PASV: the next transfer connects to the client, it does not wait.
    ActiveListener listener;
    c_->command(listener.port_command());
    EXPECT_NE(c_->command("STAT").find("Server is not in passive mode."), std::string::npos);
    EXPECT_EQ(c_->command("LIST"), "150 Opening ASCII mode data connection for /bin/ls.\r\n");
    UniqueFd data = listener.accept();
    ASSERT_TRUE(data);
    EXPECT_NE(read_all(data.get()).find("A.NC\r\n"), std::string::npos);
    EXPECT_EQ(c_->reply(), kComplete);
    // The old passive port is closed.
    UniqueFd stale;
    EXPECT_NE(kesto::platform::connect_tcp(
                  {{{127, 0, 0, 1}}, static_cast<std::uint16_t>(passive_port(reply))}, 2000, stale),
              0);
}

TEST_F(Transfers, StoreAppendAndUnique) {
    const std::string body = pattern_file(5000);
    EXPECT_EQ(passive_upload("STOR new.nc", body), kOpening + kComplete);
    EXPECT_EQ(read_file(files_ / "NEW.NC"), body);
    // STOR at an offset keeps the length and overwrites from there.
    c_->command("REST 100");
    EXPECT_EQ(passive_upload("STOR NEW.NC", "XYZ"), kOpening + kComplete);
    std::string expected = body;
    expected.replace(100, 3, "XYZ");
    EXPECT_EQ(read_file(files_ / "NEW.NC"), expected);
    EXPECT_EQ(passive_upload("APPE LOG.TXT", "one"), kOpening + kComplete);
    EXPECT_EQ(passive_upload("APPE LOG.TXT", "two"), kOpening + kComplete);
    EXPECT_EQ(read_file(files_ / "LOG.TXT"), "onetwo");

    const std::string unique = passive_upload("STOU", "u");
    ASSERT_EQ(unique.substr(0, 12), "150 FILE: F0") << unique;
    const std::string name = unique.substr(10, 7);
    EXPECT_TRUE(std::all_of(name.begin() + 2, name.end(), ::isdigit)) << name;
    EXPECT_EQ(read_file(files_ / name), "u");
    // A wanted name that is taken gets a generated one.
    EXPECT_EQ(passive_upload("STOU B.NC", "v").substr(0, 12), "150 FILE: F0");
    EXPECT_EQ(read_file(files_ / "B.NC"), "b");
    EXPECT_EQ(passive_upload("STOU FREE.NC", "w").substr(0, 22), "150 FILE: FREE.NC\r\n226");
}

TEST_F(Transfers, ReadOnlyTargetIsRefusedBeforeAnyDataConnection) {
    fs::permissions(files_ / "B.NC", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(c_->command("STOR B.NC"), "553 Requested action not taken.\r\n");
    EXPECT_EQ(c_->command("APPE B.NC"), "553 Requested action not taken.\r\n");
    EXPECT_EQ(read_file(files_ / "B.NC"), "b");
}

TEST_F(Transfers, ListingsAndTheirArguments) {
    std::string last;
    const std::string listing = passive_download("LIST", &last);
    EXPECT_EQ(last, kComplete);
    EXPECT_EQ(listing.substr(0, 11), "total 100\r\n");
    EXPECT_NE(listing.find("-rw-rw-rw-   1 ftpd     ftpd        1000 "), std::string::npos);
    EXPECT_NE(listing.find("-rwxrwxrwx   1 ftpd     ftpd           4 "), std::string::npos);
    EXPECT_NE(listing.find("drwxrwxrwx   1 ftpd     ftpd           0 "), std::string::npos);
    EXPECT_EQ(passive_download("LIST -la"), listing);
    EXPECT_EQ(passive_download("LIST -a -l *.NC").find("SETUP.BAT"), std::string::npos);
    EXPECT_EQ(passive_download("NLST"), "A.NC\r\nB.NC\r\nSETUP.BAT\r\n");
    EXPECT_EQ(passive_download("NLST *.nc"), "A.NC\r\nB.NC\r\n");
    EXPECT_EQ(passive_download("NLST -C *.NC"), "A.NC               B.NC               \r\n");
    EXPECT_EQ(passive_download("NLST -L B.NC").substr(0, 10), "-rw-rw-rw-");
    EXPECT_EQ(passive_download("LIST NC"),
              "total 100\r\n" + passive_download("LIST NC/").substr(11));
    EXPECT_EQ(c_->command("LISTX"), "500 Syntax error, command unrecognized.\r\n");
    EXPECT_EQ(c_->command("NOOP"), "200 Command okay.\r\n");
}

TEST_F(Transfers, EbcdicRoundTrip) {
    EXPECT_EQ(c_->command("TYPE E"), "200 Command okay.\r\n");
    EXPECT_EQ(passive_upload("STOR E.TXT", "\xC1\xC2\x0D\x25"), kOpening + kComplete);
    EXPECT_EQ(read_file(files_ / "E.TXT"), "AB\r\n");
    EXPECT_EQ(passive_download("RETR E.TXT"), "\xC1\xC2\x0D\x25");
}

TEST_F(Transfers, ConfinedTransfers) {
    auto c = connect("C");
    write_file(files_ / "NC" / "IN.NC", "in");
    EXPECT_EQ(c->command("RETR ../A.NC"), "521 Access denied.\r\n");
    EXPECT_EQ(c->command("STOR ../X.NC"), "521 Access denied.\r\n");
    EXPECT_EQ(c->command("LIST .."), "521 Access denied.\r\n");
    EXPECT_EQ(c->command("SIZE ../A.NC"), "521 Access denied.\r\n");
    EXPECT_EQ(c->command("SIZE " + (files_ / "NC" / "IN.NC").string()), "213 2\r\n");
    EXPECT_FALSE(fs::exists(files_ / "X.NC"));
}

namespace {

class ShortDataTimeout : public Transfers {
  protected:
    std::string extra_config() const override {
        return "DATA_TIMEOUT=1\r\nSYSTEM_ADDRESS=0.0.0.0\r\n";
    }
};

}  // namespace

TEST_F(ShortDataTimeout, PassiveWaitEndsAndOnlyTheClientMayConnect) {
    // No address configured: PASV reports the address the client reached.
    const std::string reply = c_->command("PASV");
    EXPECT_EQ(reply.substr(0, 37), "227 Entering Passive Mode (127,0,0,1,");
    // Another host (127.0.0.2) connecting first is turned away.
    UniqueFd intruder(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in from{};
    from.sin_family = AF_INET;
    from.sin_addr.s_addr = htonl(0x7F000002);
    ASSERT_EQ(::bind(intruder.get(), reinterpret_cast<sockaddr*>(&from), sizeof from), 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(static_cast<std::uint16_t>(passive_port(reply)));
    ASSERT_EQ(::connect(intruder.get(), reinterpret_cast<sockaddr*>(&to), sizeof to), 0);
    EXPECT_EQ(c_->command("RETR A.NC"), kOpening);
    EXPECT_EQ(c_->reply(), kCannotOpen);
    EXPECT_EQ(read_all(intruder.get(), 2s), "");
    EXPECT_NE(c_->command("STAT").find("Server is not in passive mode."), std::string::npos);
    // The session goes on.
    EXPECT_EQ(passive_download("RETR B.NC"), "b");
}
