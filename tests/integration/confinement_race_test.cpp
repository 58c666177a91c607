// Confinement under concurrent change: a folder on a checked path is swapped for one
// holding a link out of the root, by a second session or a local process, between the
// command's check and its use. Nothing outside the root may be read, listed, created,
// changed, truncated or moved.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <stdio.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/net.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::UniqueFd;

namespace {

const std::string kOutsideSecret = "outside secret";

// The data connection a PASV reply named, made when the test chooses.
UniqueFd connect_passive(int port) {
    UniqueFd data;
    (void)kesto::platform::connect_tcp({{{127, 0, 0, 1}}, static_cast<std::uint16_t>(port)}, 5000,
                                       data);
    return data;
}

class ConfinementUnderConcurrentChange : public ::testing::Test {
  protected:
    void SetUp() override {
        base_ = fs::canonical(folder_.path());
        root_ = base_ / "root";
        outside_ = base_ / "outside";
        fs::create_directories(root_ / "W" / "D" / "EMPTY");
        fs::create_directories(root_ / "L");
        fs::create_directories(outside_ / "EMPTY");
        write_file(root_ / "W" / "D" / "SECRET.TXT", "inside");
        write_file(outside_ / "SECRET.TXT", kOutsideSecret);
        write_file(outside_ / "VICTIM", "keep");
        write_file(outside_ / "OUTSIDE.ONLY", "o");
        fs::create_symlink(outside_, root_ / "L" / "D");
        write_file(folder_.accounts(),
                   "[USERU]\r\nNAME=u\r\nPASS=pw\r\nROOT=yes\r\nPATH=" + root_.string() + "\r\n");
        server_ = std::make_unique<ServerUnderTest>(folder_, "FATAL", "DATA_TIMEOUT=1\r\n");
        ASSERT_TRUE(server_->ready());
    }

    std::unique_ptr<FtpConnection> login() { return logged_in(server_->port(), "U", "pw"); }
    // W and L change places: W/D is then the link out of the root, and back.
    void swap() const {
        ASSERT_EQ(::renameat2(AT_FDCWD, (root_ / "W").c_str(), AT_FDCWD, (root_ / "L").c_str(),
                              RENAME_EXCHANGE),
                  0);
    }
    // What lies outside is as it was, and nothing was added there.
    void expect_outside_untouched() const {
        EXPECT_EQ(read_file(outside_ / "SECRET.TXT"), kOutsideSecret);
        EXPECT_EQ(read_file(outside_ / "VICTIM"), "keep");
        EXPECT_TRUE(fs::is_directory(outside_ / "EMPTY"));
        EXPECT_EQ(std::distance(fs::directory_iterator(outside_), fs::directory_iterator()), 4);
    }

    ProgramFolder folder_;
    fs::path base_, root_, outside_;
    std::unique_ptr<ServerUnderTest> server_;
};

}  // namespace

TEST_F(ConfinementUnderConcurrentChange, TheLinkUsedDirectlyIsRefused) {
    auto c = login();
    EXPECT_EQ(c->command("RETR L/D/SECRET.TXT"), "521 Access denied.\r\n");
    EXPECT_EQ(c->command("CWD L/D"), "521 Access denied.\r\n");
}

// The client holds the gap open: the swap happens after 150, before the data connection.
TEST_F(ConfinementUnderConcurrentChange, TransfersUseWhatWasChecked) {
    auto c = login();
    {
        const int port = passive_port(c->command("PASV"));
        EXPECT_EQ(c->command("RETR W/D/SECRET.TXT").substr(0, 3), "150");
        swap();
        UniqueFd data = connect_passive(port);
        ASSERT_TRUE(data);
        EXPECT_EQ(read_all(data.get()), "inside");
        EXPECT_EQ(c->reply(), "226 Transfer complete.\r\n");
        swap();
    }
    for (const char* command : {"STOR W/D/NEW.TXT", "APPE W/D/SECRET.TXT", "STOR W/D/VICTIM"}) {
        UniqueFd data = open_passive(*c);
        EXPECT_EQ(c->command(command).substr(0, 3), "150") << command;
        swap();
        ASSERT_EQ(kesto::platform::send_all(data.get(), "written", 7), 0);
        data.reset();
        EXPECT_EQ(c->reply(), "226 Transfer complete.\r\n") << command;
        swap();
    }
    EXPECT_EQ(read_file(root_ / "W" / "D" / "NEW.TXT"), "written");
    EXPECT_EQ(read_file(root_ / "W" / "D" / "SECRET.TXT"), "insidewritten");
    expect_outside_untouched();
}

TEST_F(ConfinementUnderConcurrentChange, StouWritesAndGivesBackOnlyItsOwnFile) {
    auto c = login();
    {  // the upload breaks off: what it stored stays, in the file it claimed
        const int port = passive_port(c->command("PASV"));
        EXPECT_EQ(c->command("STOU W/D/VICTIM"), "150 FILE: W/D/VICTIM\r\n");
        swap();
        UniqueFd data = connect_passive(port);
        ASSERT_TRUE(data);
        ASSERT_EQ(kesto::platform::send_all(data.get(), "x", 1), 0);
        ASSERT_TRUE(wait_until([&] {
            return fs::exists(root_ / "L" / "D" / "VICTIM") &&
                   fs::file_size(root_ / "L" / "D" / "VICTIM") == 1;
        }));
        const linger reset{1, 0};
        ::setsockopt(data.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
        data.reset();
        EXPECT_EQ(c->reply().substr(0, 3), "426");
        swap();
        EXPECT_TRUE(fs::exists(root_ / "W" / "D" / "VICTIM"));
        fs::remove(root_ / "W" / "D" / "VICTIM");
    }
    {  // no data connection comes: the claimed name is given back
        EXPECT_EQ(c->command("PASV").substr(0, 3), "227");
        EXPECT_EQ(c->command("STOU W/D/VICTIM"), "150 FILE: W/D/VICTIM\r\n");
        swap();
        EXPECT_EQ(c->reply(), "425 Can't open data connection.\r\n");
        EXPECT_EQ(c->command("NOOP").substr(0, 3), "200");  // the name is given back by now
        swap();
        EXPECT_FALSE(fs::exists(root_ / "W" / "D" / "VICTIM"));
    }
    expect_outside_untouched();
}

TEST_F(ConfinementUnderConcurrentChange, RenameMovesWhatRnfrResolved) {
    auto a = login();
    EXPECT_EQ(a->command("RNFR W/D/SECRET.TXT").substr(0, 3), "350");
    // A second session of the same account makes the swap, as an attacker would.
    auto b = login();
    EXPECT_EQ(b->command("RNFR W").substr(0, 3), "350");
    EXPECT_EQ(b->command("RNTO W_OLD").substr(0, 3), "250");
    EXPECT_EQ(b->command("RNFR L").substr(0, 3), "350");
    EXPECT_EQ(b->command("RNTO W").substr(0, 3), "250");
    EXPECT_EQ(a->command("RNTO MOVED.TXT").substr(0, 3), "250");
    EXPECT_EQ(read_file(root_ / "MOVED.TXT"), "inside");
    expect_outside_untouched();
}

// The swap races the server: before its check (every other try) or as its 150 arrives.
TEST_F(ConfinementUnderConcurrentChange, ListingsNeverShowTheOutsideFolder) {
    auto c = login();
    int listed = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        UniqueFd data = open_passive(*c);
        ASSERT_TRUE(data);
        c->send_raw("NLST W/D\r\n");
        const bool early = attempt % 2 == 0;
        if (early) swap();
        const std::string first = c->reply();
        if (!early) swap();
        if (first.starts_with("150")) {
            const std::string names = read_all(data.get());
            EXPECT_EQ(names.find("OUTSIDE.ONLY"), std::string::npos) << names;
            EXPECT_NE(names.find("SECRET.TXT"), std::string::npos) << names;
            EXPECT_EQ(c->reply(), "226 Transfer complete.\r\n");
            ++listed;
        } else {
            EXPECT_EQ(first, "521 Access denied.\r\n");
            c->command("ABOR");
        }
        swap();
    }
    EXPECT_GT(listed, 0);
}

// A local process with write access inside the root swaps folders as fast as it can
// while the session deletes, removes and creates through the swapped path.
TEST_F(ConfinementUnderConcurrentChange, ChangesAgainstALocalSwapper) {
    auto c = login();
    const UniqueFd inner(::open((root_ / "W" / "D").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    std::atomic<bool> stop{false};
    std::thread swapper([&] {
        while (!stop) {
            ::renameat2(AT_FDCWD, (root_ / "W").c_str(), AT_FDCWD, (root_ / "L").c_str(),
                        RENAME_EXCHANGE);
        }
    });
    const auto deadline = std::chrono::steady_clock::now() + 4s;
    for (int attempt = 0; attempt < 2000 && std::chrono::steady_clock::now() < deadline;
         ++attempt) {
        ::close(::openat(inner.get(), "VICTIM", O_WRONLY | O_CREAT | O_CLOEXEC, 0644));
        ::mkdirat(inner.get(), "EMPTY", 0755);
        c->command("DELE W/D/VICTIM");
        c->command("RMD W/D/EMPTY");
        c->command("MKD W/D/NEWDIR");
        ::unlinkat(inner.get(), "NEWDIR", AT_REMOVEDIR);
    }
    stop = true;
    swapper.join();
    expect_outside_untouched();
}

TEST_F(ConfinementUnderConcurrentChange, AnInsideLinkMovedToPointOutIsRefusedThere) {
    fs::create_symlink("..", root_ / "W" / "UP");
    auto c = login();
    EXPECT_EQ(c->command("RETR W/UP/W/D/SECRET.TXT").substr(0, 3), "150");  // inside: allowed
    EXPECT_EQ(c->reply().substr(0, 3), "425");
    EXPECT_EQ(c->command("RNFR W/UP").substr(0, 3), "350");
    EXPECT_EQ(c->command("RNTO UP").substr(0, 3), "250");
    EXPECT_EQ(c->command("RETR UP/OUTSIDE/SECRET.TXT"), "521 Access denied.\r\n");
    EXPECT_EQ(c->command("CWD UP"), "521 Access denied.\r\n");
    EXPECT_EQ(c->command("LIST UP"), "521 Access denied.\r\n");
}
