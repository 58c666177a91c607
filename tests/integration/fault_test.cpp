// Faults and hostile input against the running server: broken clients and data
// connections, a full disk, exhausted slots, endless lines, random command lines,
// resource leaks over many sessions, and logins beside a writer of the accounts file.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <atomic>
#include <random>
#include <thread>

#include "ftp_replies.h"
#include "platform/net.h"
#include "profile/profile_file.h"
#include "server/formats/ebcdic.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::UniqueFd;

namespace {

// Closes with a reset, as the kernel does for a client that was killed mid-transfer.
void reset_connection(UniqueFd& fd) {
    const linger abort{1, 0};
    ::setsockopt(fd.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    fd.reset();
}

class Faults : public ::testing::Test {
  protected:
    void start(const std::string& extra = "", long file_size_limit = 0,
               const std::string& log_level = "FATAL") {
        files_ = fs::canonical(folder_.path()) / "files";
        fs::create_directories(files_ / "SUB");
        write_file(files_ / "BIG.BIN", std::string(32 << 20, 'b'));
        write_file(folder_.accounts(),
                   "[USERU]\r\nNAME=u\r\nPASS=pw\r\nROOT=yes\r\nPATH=" + files_.string() + "\r\n");
        server_ = std::make_unique<ServerUnderTest>(folder_, log_level, extra, file_size_limit);
        ASSERT_TRUE(server_->ready());
    }
    std::unique_ptr<FtpConnection> login() { return logged_in(server_->port(), "U", "pw"); }
    void expect_still_serving() {
        auto c = login();
        EXPECT_EQ(c->command("NOOP"), kOkay);
    }

    ProgramFolder folder_;
    fs::path files_;
    std::unique_ptr<ServerUnderTest> server_;
};

}  // namespace

TEST_F(Faults, ClientKilledInTheMiddleOfRetrAndStor) {
    start();
    {
        auto c = login();
        UniqueFd data = open_passive(*c);
        EXPECT_EQ(c->command("RETR BIG.BIN").substr(0, 3), "150");
        char buf[4096];
        ASSERT_GT(kesto::platform::receive_some(data.get(), buf, sizeof buf), 0);
        reset_connection(data);
    }
    expect_still_serving();
    {
        auto c = login();
        UniqueFd data = open_passive(*c);
        EXPECT_EQ(c->command("STOR PART.BIN").substr(0, 3), "150");
        const std::string chunk(256 << 10, 'p');
        ASSERT_EQ(kesto::platform::send_all(data.get(), chunk.data(), chunk.size()), 0);
        reset_connection(data);
    }
    expect_still_serving();
    // What arrived before the break is kept.
    ASSERT_TRUE(wait_until([&] { return fs::exists(files_ / "PART.BIN"); }));
    const std::string kept = read_file(files_ / "PART.BIN");
    EXPECT_EQ(kept, std::string(kept.size(), 'p'));
}

TEST_F(Faults, DataConnectionResetByThePeer) {
    start();
    auto c = login();
    UniqueFd data = open_passive(*c);
    EXPECT_EQ(c->command("RETR BIG.BIN").substr(0, 3), "150");
    char buf[4096];
    ASSERT_GT(kesto::platform::receive_some(data.get(), buf, sizeof buf), 0);
    reset_connection(data);
    EXPECT_EQ(c->reply(), "426 Connection closed; transfer aborted.\r\n");
    EXPECT_EQ(c->command("NOOP"), kOkay);
}

TEST_F(Faults, FullDiskAnswers452AndTheServerGoesOn) {
    start("", 1 << 20);  // the server may write files of 1 MiB at most
    auto c = login();
    UniqueFd data = open_passive(*c);
    EXPECT_EQ(c->command("STOR HUGE.BIN").substr(0, 3), "150");
    const std::string body(2 << 20, 'h');
    (void)kesto::platform::send_all(data.get(), body.data(), body.size());
    data.reset();
    EXPECT_EQ(c->reply(), "452 Requested action not taken.\r\n");
    EXPECT_EQ(c->command("NOOP"), kOkay);
    UniqueFd small = open_passive(*c);
    EXPECT_EQ(c->command("STOR SMALL.BIN").substr(0, 3), "150");
    ASSERT_EQ(kesto::platform::send_all(small.get(), "ok", 2), 0);
    small.reset();
    EXPECT_EQ(c->reply(), "226 Transfer complete.\r\n");
    EXPECT_TRUE(server_->running());
}

// A send error logs the start of the block that failed. A file crafted so that its
// EBCDIC form reads as a log line must not add a line of its own to the log.
TEST_F(Faults, DataInASendErrorLineCannotForgeALogLine) {
    start("", 0, "INFORMATIONAL");
    const std::string forged = "\r\n! 01/01/26  00:00:00  FORGED\r\n";
    std::string wire = forged + std::string(64 - forged.size(), 'x');
    std::string stored;
    for (const char c : wire)
        stored += static_cast<char>(kesto::formats::ebcdic_to_ascii[static_cast<unsigned char>(c)]);
    std::string content;
    while (content.size() < (8u << 20)) content += stored;  // every block starts alike
    write_file(files_ / "CRAFTED.TXT", content);

    auto c = login();
    EXPECT_EQ(c->command("TYPE E"), kOkay);
    UniqueFd data = open_passive(*c);
    EXPECT_EQ(c->command("RETR CRAFTED.TXT").substr(0, 3), "150");
    char buf[4096];
    ASSERT_GT(kesto::platform::receive_some(data.get(), buf, sizeof buf), 0);
    reset_connection(data);
    EXPECT_EQ(c->reply(), "426 Connection closed; transfer aborted.\r\n");

    const std::string log = read_file(folder_.log());
    EXPECT_EQ(log.find("\r\n! 01/01/26"), std::string::npos);
    EXPECT_NE(log.find("<<\\r\\n! 01/01/26  00:00:00  FORGED\\r\\nxx"), std::string::npos) << log;
}

TEST_F(Faults, AllSlotsTakenThenAllFreed) {
    start();
    std::vector<std::unique_ptr<FtpConnection>> idle;
    for (int i = 0; i < 32; ++i) {
        idle.push_back(std::make_unique<FtpConnection>(server_->port()));
        ASSERT_EQ(idle.back()->reply().substr(0, 4), "220-");
    }
    FtpConnection extra(server_->port());
    EXPECT_EQ(extra.reply().substr(0, 3), "421");
    idle.clear();  // every client goes away without QUIT
    // Each slot is freed as its session notices the close; all 32 become usable again.
    std::vector<std::unique_ptr<FtpConnection>> again;
    ASSERT_TRUE(wait_until([&] {
        auto c = std::make_unique<FtpConnection>(server_->port());
        if (c->reply().substr(0, 4) != "220-") return false;
        again.push_back(std::move(c));
        return again.size() == 32;
    }));
}

TEST_F(Faults, EndlessLineIsAnsweredOnceAndTheSessionGoesOn) {
    start();
    auto c = login();
    c->send_raw(std::string(100000, 'A'));
    EXPECT_EQ(c->reply(), "500 Syntax error, command unrecognized.\r\n");
    c->send_raw(std::string(5000, 'B') + "\r\nNOOP\r\n");
    EXPECT_EQ(c->reply(), kOkay);
}

TEST_F(Faults, RandomCommandLines) {
    start();
    write_file(folder_.path() / "OUTSIDE.TXT", "keep");
    auto c = login();
    static const char* kWords[] = {"USER", "PASS", "ACCT", "CWD",  "CDUP", "XCUP", "SMNT", "PORT",
                                   "TYPE", "STRU", "MODE", "REST", "MDTM", "PASV", "ALLO", "RNFR",
                                   "RNTO", "ABOR", "DELE", "RMD",  "XRMD", "MKD",  "XMKD", "PWD",
                                   "XPWD", "SITE", "SYST", "STAT", "SIZE", "HELP", "NOOP", "X"};
    static const char* kArgs[] = {"",
                                  "A",
                                  "SUB",
                                  "..",
                                  "/",
                                  "\\",
                                  "*",
                                  "?",
                                  "SUB/..",
                                  "BIG.BIN",
                                  "-1",
                                  "0",
                                  "999999999999999999999",
                                  "1,2,3,4,5,6",
                                  "E",
                                  "L 8",
                                  "\xff\xf4",
                                  "%s%n",
                                  "\t",
                                  "NEW DIR"};
    static const char* kWaiting[] = {"QUIT", "REIN", "RETR", "STOR",
                                     "STOU", "APPE", "LIST", "NLST"};
    std::mt19937 random(20261207);
    int sent = 0;
    for (int i = 0; i < 10000; ++i) {
        std::string line = kWords[random() % std::size(kWords)];
        const int parts = static_cast<int>(random() % 3);
        for (int p = 0; p < parts; ++p)
            line += std::string(" ") + kArgs[random() % std::size(kArgs)];
        if (random() % 10 == 0)
            line += std::string(random() % 600, static_cast<char>(random() % 256));
        if (random() % 20 == 0)
            line = std::string(random() % 40, static_cast<char>(32 + random() % 90));
        std::string shown;
        for (char ch : line)
            shown += static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
        shown.erase(0, shown.find_first_not_of(' '));
        if (std::any_of(std::begin(kWaiting), std::end(kWaiting),
                        [&](const char* w) { return shown.rfind(w, 0) == 0; }) ||
            line.find_first_of("\r\n") != std::string::npos) {
            continue;
        }
        const std::string reply = c->command(line);
        ASSERT_FALSE(reply.empty()) << "no reply to line " << i << ": " << line;
        ++sent;
        if (reply.rfind("221", 0) == 0 || reply.rfind("331", 0) == 0 ||
            reply.rfind("421", 0) == 0) {
            c = login();  // a USER/PASS line logged the session out; log in again
        }
    }
    EXPECT_GT(sent, 9000);
    EXPECT_EQ(c->command("NOOP"), kOkay);
    // The confined account changed nothing beside its folder.
    EXPECT_EQ(read_file(folder_.path() / "OUTSIDE.TXT"), "keep");
    EXPECT_FALSE(fs::exists(folder_.path() / "A"));
    EXPECT_FALSE(fs::exists(folder_.path() / "NEW DIR"));
}

TEST_F(Faults, ManySessionsLeaveNoDescriptorsOrThreadsBehind) {
    start();
    // Measured before any session: the server's own threads and descriptors only.
    const int descriptors = open_descriptors(server_->pid());
    const int threads = thread_count(server_->pid());
    for (int i = 0; i < 2000; ++i) {
        FtpConnection c(server_->port());
        ASSERT_EQ(c.reply().substr(0, 4), "220-") << i;
        c.send_raw("USER U\r\nPASS pw\r\nQUIT\r\n");
        ASSERT_TRUE(c.closed_by_server()) << i;
    }
    EXPECT_TRUE(wait_until([&] {
        return open_descriptors(server_->pid()) == descriptors &&
               thread_count(server_->pid()) == threads;
    })) << open_descriptors(server_->pid())
        << " descriptors (" << descriptors << " at start), " << thread_count(server_->pid())
        << " threads (" << threads << " at start)";
}

TEST_F(Faults, LoginsNeverFailBesideAWriterOfTheAccountsFile) {
    start();
    const std::string accounts = folder_.accounts().string();
    std::atomic<bool> done{false};
    std::atomic<int> failures{0};
    std::thread writer([&] {
        for (int i = 0; !done.load(); ++i) {
            const std::string v = std::to_string(i);
            kesto::profile::profile_write("GLOBAL", "LOG_LEVEL", v.c_str(), accounts.c_str());
            kesto::profile::profile_write("USEROTHER", "PASS", v.c_str(), accounts.c_str());
            if (i % 4 == 0)
                kesto::profile::profile_write("USEROTHER", nullptr, nullptr, accounts.c_str());
        }
    });
    std::vector<std::thread> clients;
    for (int t = 0; t < 32; ++t) {
        clients.emplace_back([&] {
            for (int i = 0; i < 15; ++i) {
                FtpConnection c(server_->port());
                c.reply();
                if (!c.login("U", "pw")) ++failures;
                c.command("QUIT");
                // The slot is free once the server has closed: only then take it again.
                if (!c.closed_by_server()) ++failures;
            }
        });
    }
    for (auto& t : clients) t.join();
    done = true;
    writer.join();
    EXPECT_EQ(failures.load(), 0);
}
