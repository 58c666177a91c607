// Data connections for today's clients against the running server: EPSV and EPRT over
// IPv4 and IPv6, EPSV ALL, the bounce and hijack refusals, the IPv6 listener sharing the
// client slots, the passive port range and the announced passive address.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "platform/net.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::IpAddress;
using kesto::platform::Ipv4Address;
using kesto::platform::UniqueFd;

namespace {

const IpAddress kLoopback4 = Ipv4Address{{127, 0, 0, 1}};

class ExtendedData : public ::testing::Test {
  protected:
    void start(const std::string& extra = "") {
        files_ = fs::canonical(folder_.path()) / "files";
        fs::create_directories(files_);
        write_file(files_ / "DATA.TXT", std::string(100000, 'x'));
        write_file(folder_.accounts(),
                   "[USERU]\r\nNAME=u\r\nPASS=pw\r\nROOT=yes\r\nPATH=" + files_.string() + "\r\n");
        server_ = std::make_unique<ServerUnderTest>(folder_, "INFORMATIONAL", extra);
        ASSERT_TRUE(server_->ready());
    }
    std::unique_ptr<FtpConnection> connect(const IpAddress& host) {
        auto c = std::make_unique<FtpConnection>(host, server_->port());
        EXPECT_TRUE(c->connected());
        c->reply();
        EXPECT_TRUE(c->login("U", "pw"));
        return c;
    }
    // RETR over `data`, already connected: the whole file and the closing reply.
    static void expect_retrieved(FtpConnection& control, UniqueFd data) {
        ASSERT_TRUE(data);
        EXPECT_EQ(control.command("RETR DATA.TXT").substr(0, 4), "150 ");
        EXPECT_EQ(read_all(data.get()).size(), 100000u);
        EXPECT_EQ(control.reply(), "226 Transfer complete.\r\n");
    }

    // EPRT to `active`, then RETR: the whole file arrives on the connection to it.
    static void expect_retrieved_actively(FtpConnection& control, ActiveListener& active) {
        EXPECT_EQ(control.command(active.eprt_command()), "200 Command okay.\r\n");
        EXPECT_EQ(control.command("RETR DATA.TXT").substr(0, 4), "150 ");
        UniqueFd data = active.accept();
        ASSERT_TRUE(data);
        EXPECT_EQ(read_all(data.get()).size(), 100000u);
        EXPECT_EQ(control.reply(), "226 Transfer complete.\r\n");
    }

    ProgramFolder folder_;
    fs::path files_;
    std::unique_ptr<ServerUnderTest> server_;
};

TEST_F(ExtendedData, EpsvAndEprtOverIpv4) {
    start();
    auto c = connect(kLoopback4);
    expect_retrieved(*c, open_extended_passive(*c, kLoopback4));
    EXPECT_TRUE(c->command("EPSV 1").starts_with("229 Entering Extended Passive Mode (|||"));
    EXPECT_EQ(c->command("EPSV 2"), "522 Network protocol not supported, use (1)\r\n");

    ActiveListener active;
    expect_retrieved_actively(*c, active);

    // No third host (bounce), no other family, nothing malformed.
    const std::string port = std::to_string(active.port);
    EXPECT_EQ(c->command("EPRT |1|127.0.0.2|" + port + "|"),
              "504 Command not implemented for that parameter.\r\n");
    EXPECT_EQ(c->command("EPRT |2|::1|" + port + "|"),
              "522 Network protocol not supported, use (1)\r\n");
    EXPECT_EQ(c->command("EPRT |7|x|" + port + "|"),
              "522 Network protocol not supported, use (1)\r\n");
    EXPECT_EQ(c->command("EPRT |1|127.0.0.1|0|"),
              "501 Syntax error in parameters or arguments.\r\n");
    // The unspecified address names no host: the data goes to the client.
    EXPECT_EQ(c->command("EPRT |1|0.0.0.0|" + port + "|"), "200 Command okay.\r\n");
    EXPECT_EQ(c->command("NLST").substr(0, 4), "150 ");
    UniqueFd data = active.accept();
    ASSERT_TRUE(data);
    EXPECT_EQ(read_all(data.get()), "DATA.TXT\r\n");
    EXPECT_EQ(c->reply(), "226 Transfer complete.\r\n");
}

TEST_F(ExtendedData, EpsvAllLeavesOnlyEpsv) {
    start();
    auto c = connect(kLoopback4);
    EXPECT_EQ(c->command("EPSV ALL"), "200 Command okay.\r\n");
    EXPECT_EQ(c->command("PASV"), "503 Bad sequence of commands.\r\n");
    EXPECT_EQ(c->command("PORT 127,0,0,1,4,1"), "503 Bad sequence of commands.\r\n");
    EXPECT_EQ(c->command("EPRT |1|127.0.0.1|1025|"), "503 Bad sequence of commands.\r\n");
    expect_retrieved(*c, open_extended_passive(*c, kLoopback4));
    // REIN starts the session again, EPSV ALL included.
    c->command("REIN");
    ASSERT_TRUE(c->login("U", "pw"));
    EXPECT_TRUE(c->command("PASV").starts_with("227 "));
}

TEST_F(ExtendedData, ExtendedPassiveConnectionOnlyFromTheClient) {
    start();
    auto c = connect(kLoopback4);
    const auto port = static_cast<std::uint16_t>(extended_passive_port(c->command("EPSV")));
    ASSERT_NE(port, 0);
    // The socket listens where the client reached the server only.
    UniqueFd other;
    EXPECT_NE(kesto::platform::connect_tcp({Ipv4Address{{127, 0, 0, 2}}, port}, 5000, other), 0);
    UniqueFd data;
    ASSERT_EQ(kesto::platform::connect_tcp({kLoopback4, port}, 5000, data), 0);
    expect_retrieved(*c, std::move(data));
}

TEST_F(ExtendedData, Ipv6ListenerServesEpsvAndEprtAndRefusesPasvAndPort) {
    start("SYSTEM_ADDRESS6 = ::1\r\n");
    auto c = connect(loopback6());
    expect_retrieved(*c, open_extended_passive(*c, loopback6()));
    EXPECT_EQ(c->command("EPSV 1"), "522 Network protocol not supported, use (2)\r\n");
    EXPECT_EQ(c->command("PASV"), "522 Network protocol not supported, use (2)\r\n");
    EXPECT_EQ(c->command("PORT 127,0,0,1,4,1"), "522 Network protocol not supported, use (2)\r\n");

    ActiveListener active(loopback6());
    ASSERT_TRUE(active.socket);
    EXPECT_EQ(c->command("EPRT |1|127.0.0.1|" + std::to_string(active.port) + "|"),
              "522 Network protocol not supported, use (2)\r\n");
    expect_retrieved_actively(*c, active);

    EXPECT_NE(c->command("STAT").find("Client identity: ::1 ("), std::string::npos);
    EXPECT_TRUE(wait_until([&] {
        const std::string log = read_file(folder_.log());
        return log.find("New incomming connection from ::1") != std::string::npos &&
               log.find("(::1) Client logged in as 'U'.") != std::string::npos &&
               log.find("Listener started, listing on IP ::1") != std::string::npos;
    }));
}

TEST_F(ExtendedData, BothListenersShareTheClientSlots) {
    start("SYSTEM_ADDRESS6 = ::1\r\n");
    std::vector<std::unique_ptr<FtpConnection>> sessions;
    for (int i = 0; i < 32; ++i) {
        sessions.push_back(
            std::make_unique<FtpConnection>(i % 2 ? loopback6() : kLoopback4, server_->port()));
        ASSERT_TRUE(sessions.back()->reply().starts_with("220-")) << i;
    }
    for (const IpAddress& host : {kLoopback4, loopback6()}) {
        FtpConnection over(host, server_->port());
        EXPECT_EQ(over.reply(), "421 Service not available, closing control connection.\r\n");
    }
    sessions.pop_back();  // an IPv6 session frees a slot an IPv4 client may take
    EXPECT_TRUE(wait_until([&] {
        FtpConnection next(server_->port());
        return next.reply().starts_with("220-");
    }));
}

TEST_F(ExtendedData, PassivePortsStayInTheRangeAndRunOut) {
    const int port = free_port();
    start("PASSIVE_PORTS = " + std::to_string(port) + "-" + std::to_string(port) + "\r\n");
    auto first = connect(kLoopback4);
    auto second = connect(kLoopback4);
    EXPECT_EQ(passive_port(first->command("PASV")), port);
    // The one port is held by the first session's pending socket.
    EXPECT_EQ(second->command("PASV"), "425 Can't open data connection.\r\n");
    EXPECT_EQ(second->command("EPSV"), "425 Can't open data connection.\r\n");
    // PORT leaves passive mode and frees the port.
    first->command("PORT 127,0,0,1,4,1");
    EXPECT_EQ(extended_passive_port(second->command("EPSV")), port);
}

TEST_F(ExtendedData, PassiveAddressIsAnnouncedWhileTheSocketStaysLocal) {
    start("PASSIVE_ADDRESS = 192.0.2.7\r\n");
    auto c = connect(kLoopback4);
    const std::string reply = c->command("PASV");
    EXPECT_TRUE(reply.starts_with("227 Entering Passive Mode (192,0,2,7,")) << reply;
    UniqueFd data;
    ASSERT_EQ(kesto::platform::connect_tcp(
                  {kLoopback4, static_cast<std::uint16_t>(passive_port(reply))}, 5000, data),
              0);
    expect_retrieved(*c, std::move(data));
}

TEST(ExtendedDataConfiguration, BadValuesOfTheNewKeysRefuseTheStart) {
    for (const char* line :
         {"SYSTEM_ADDRESS6 = 127.0.0.1", "SYSTEM_ADDRESS6 = ::1%lo", "SYSTEM_ADDRESS6 = ::g",
          "PASSIVE_PORTS = 1023-2000", "PASSIVE_PORTS = 3000-2000", "PASSIVE_PORTS = 2000",
          "PASSIVE_PORTS = 2000-65536", "PASSIVE_PORTS = a-b", "PASSIVE_ADDRESS = 10.0.0",
          "PASSIVE_ADDRESS = 10.0.0.256", "PASSIVE_ADDRESS = ::1", "PASSIVE_ADDRESS ="}) {
        ProgramFolder folder;
        folder.write_config(free_port(), "FATAL", std::string(line) + "\r\n");
        const RunResult r = run_kftpd(folder, {folder.config().string()});
        EXPECT_EQ(r.exit_status, 1) << line;
        EXPECT_EQ(r.stderr_text, "KESTO FTP Server: Error reading the configuration file!\n")
            << line;
    }
}

}  // namespace
