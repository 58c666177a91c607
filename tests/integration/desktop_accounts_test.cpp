// Accounts for desktop clients (DESKTOP = Yes) beside a machine control's account
// (DESKTOP = No) on the same folder of the same server: names as sent and found
// exactly, a confined root seen as "/", MDTM in UTC and the year in UNIX listings; the
// control's account answers every one of them as before.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <ctime>

#include "ftp_replies.h"
#include "platform/net.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::UniqueFd;

namespace {

const std::string kDone = "250 Requested file action okay, completed.\r\n";
constexpr std::int64_t kOld = 1583323200;  // 2020-03-04 12:00:00 UTC, 13:00 in Berlin

std::string pwd_reply(const std::string& path) {
    return "257 \"" + path + "\" is current directory.\r\n";
}

class DesktopAccounts : public ::testing::Test {
  protected:
    void SetUp() override {
        // Central European time with its summer rule, so that a UTC mix-up shows.
        ::setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        ::tzset();
        files_ = fs::canonical(folder_.path()) / "files";
        jail_ = files_ / "JAIL";
        fs::create_directories(jail_ / "Sub");
        write_file(files_ / "secret.txt", "outside");
        write_file(jail_ / "B.BIN", "upper");
        write_file(jail_ / "a.bin", "a");
        write_file(jail_ / "c.Bin", "c");
        write_file(jail_ / "two  blanks.txt", "two");
        write_file(jail_ / "Sub" / "x.txt", "x");
        write_file(jail_ / "OLD.NC", "old");
        set_mtime(jail_ / "OLD.NC", kOld);
        fs::create_directory_symlink(files_, jail_ / "OUT");
        auto account = [&](const std::string& name, const std::string& keys) {
            return "[USER" + name + "]\r\nNAME=" + name + "\r\nPASS=pw\r\nPATH=" + jail_.string() +
                   "\r\n" + keys;
        };
        write_file(folder_.accounts(), account("DESK", "ROOT=Yes\r\nDESKTOP=Yes\r\n") +
                                           account("FREE", "DESKTOP=Yes\r\n") +
                                           account("CTRL", "ROOT=Yes\r\nDESKTOP=No\r\n"));
        server_ = std::make_unique<ServerUnderTest>(folder_, "EXTREME");
        ASSERT_TRUE(server_->ready());
    }

    std::unique_ptr<FtpConnection> connect(const std::string& user) {
        auto c = std::make_unique<FtpConnection>(server_->port());
        c->reply();
        EXPECT_TRUE(c->login(user, "pw"));
        return c;
    }

    // The bytes a passive download or listing brought, or the refusal.
    static std::string download(FtpConnection& c, const std::string& command) {
        UniqueFd data = open_passive(c);
        const std::string first = c.command(command);
        if (first.rfind("150", 0) != 0) return first;
        const std::string bytes = read_all(data.get());
        EXPECT_EQ(c.reply(), kComplete) << command;
        return bytes;
    }

    static void upload(FtpConnection& c, const std::string& command, const std::string& bytes) {
        UniqueFd data = open_passive(c);
        ASSERT_EQ(c.command(command).substr(0, 3), "150") << command;
        ASSERT_EQ(kesto::platform::send_all(data.get(), bytes.data(), bytes.size()), 0);
        data.reset();
        EXPECT_EQ(c.reply(), kComplete) << command;
    }

    ProgramFolder folder_;
    fs::path files_, jail_;
    std::unique_ptr<ServerUnderTest> server_;
};

}  // namespace

TEST_F(DesktopAccounts, NamesAreKeptAsSentAndFoundExactly) {
    // The control's account: the line upper-cased and its blanks collapsed, names found
    // up to case, so b.bin is B.BIN.
    auto ctrl = connect("CTRL");
    upload(*ctrl, "STOR b.bin", "ctrl");
    EXPECT_EQ(read_file(jail_ / "B.BIN"), "ctrl");
    EXPECT_FALSE(fs::exists(jail_ / "b.bin"));
    EXPECT_EQ(ctrl->command("RETR two  blanks.txt"), kNotTaken);
    EXPECT_EQ(ctrl->command("MKD mixed"), "257 \"MIXED\" created.\r\n");

    // Desktop: the command word still up to case, the argument exactly as sent.
    auto desk = connect("desk");
    upload(*desk, "stor b.bin", "lower");
    EXPECT_EQ(read_file(jail_ / "B.BIN"), "ctrl");
    EXPECT_EQ(read_file(jail_ / "b.bin"), "lower");
    EXPECT_EQ(download(*desk, "RETR B.BIN"), "ctrl");
    EXPECT_EQ(download(*desk, "retr b.bin"), "lower");
    EXPECT_EQ(download(*desk, "RETR two  blanks.txt"), "two");
    EXPECT_EQ(desk->command("SIZE two  blanks.txt"), "213 3\r\n");
    EXPECT_EQ(desk->command("SIZE B.bin"), kNotTaken);
    EXPECT_EQ(desk->command("Mkd Mixed  Dir"), "257 \"Mixed  Dir\" created.\r\n");
    EXPECT_TRUE(fs::is_directory(jail_ / "Mixed  Dir"));
    EXPECT_EQ(desk->command("RNFR b.bin"),
              "350 Requested file action pending further information.\r\n");
    EXPECT_EQ(desk->command("RNTO c.bin"), kDone);  // beside c.Bin, which stays
    EXPECT_EQ(desk->command("DELE c.bin"), kDone);
    EXPECT_FALSE(fs::exists(jail_ / "c.bin"));
    EXPECT_EQ(read_file(jail_ / "c.Bin"), "c");
    EXPECT_EQ(read_file(jail_ / "B.BIN"), "ctrl");
    // Arguments that are no paths keep the old rules: "type i" is TYPE I.
    EXPECT_EQ(desk->command("type i"), kOkay);
    // Before the password matched nothing changes: the name is found up to case.
    auto again = connect("dEsK");
    EXPECT_EQ(again->command("PWD"), pwd_reply("/"));
}

TEST_F(DesktopAccounts, WildcardsMatchWithCase) {
    auto desk = connect("DESK");
    EXPECT_EQ(download(*desk, "NLST *.bin"), "a.bin\r\n");
    EXPECT_EQ(download(*desk, "NLST *.Bin"), "c.Bin\r\n");
    const std::string listing = download(*desk, "LIST -la");  // options in lower case
    EXPECT_NE(listing.find(" B.BIN\r\n"), std::string::npos) << listing;
    EXPECT_NE(listing.find(" Sub\r\n"), std::string::npos) << listing;
    EXPECT_EQ(download(*desk, "NLST -l *.BIN").find("-rw-rw-rw-"), 0u);

    auto ctrl = connect("CTRL");
    EXPECT_EQ(download(*ctrl, "NLST *.bin"), "a.bin\r\nB.BIN\r\nc.Bin\r\n");
}

TEST_F(DesktopAccounts, AConfinedRootIsSlash) {
    auto desk = connect("DESK");
    EXPECT_EQ(desk->command("PWD"), pwd_reply("/"));
    EXPECT_EQ(desk->command("CWD Sub"), kDone);
    EXPECT_EQ(desk->command("XPWD"), pwd_reply("/Sub"));
    EXPECT_NE(desk->command("STAT").find("\r\nCurrent directory: /Sub\r\n"), std::string::npos);
    EXPECT_EQ(download(*desk, "RETR /two  blanks.txt"), "two");
    EXPECT_EQ(desk->command("CDUP"), kOkay);
    EXPECT_EQ(desk->command("PWD"), pwd_reply("/"));
    EXPECT_EQ(desk->command("CDUP"), kOkay);  // at the root it stays there
    EXPECT_EQ(desk->command("PWD"), pwd_reply("/"));
    EXPECT_EQ(desk->command("CWD /Sub"), kDone);
    EXPECT_EQ(desk->command("CWD ../../.."), kDone);
    EXPECT_EQ(desk->command("PWD"), pwd_reply("/"));
    // The trace names the folder as the client sees it, not the real one.
    EXPECT_EQ(download(*desk, "RETR Sub/x.txt"), "x");
    EXPECT_TRUE(wait_until([&] {
        return read_file(folder_.log()).find("Check perm for dir: </Sub>") != std::string::npos;
    }));
    EXPECT_EQ(read_file(folder_.log()).find("Check perm for dir: <" + jail_.string()),
              std::string::npos);
    EXPECT_EQ(desk->command("CWD /"), kDone);
    EXPECT_EQ(download(*desk, "RETR /Sub/x.txt"), "x");
    EXPECT_EQ(desk->command("MKD /New"), "257 \"/New\" created.\r\n");
    EXPECT_TRUE(fs::is_directory(jail_ / "New"));
    const std::string root_listing = download(*desk, "LIST /");
    EXPECT_NE(root_listing.find(" OLD.NC\r\n"), std::string::npos) << root_listing;
    // Nothing outside is reachable: '..' stops at the root, the real path names a place
    // below it, and a link out is refused.
    EXPECT_EQ(desk->command("SIZE ../secret.txt"), kNotTaken);
    EXPECT_EQ(desk->command("CWD " + jail_.string()), kDenied);
    EXPECT_EQ(desk->command("CWD OUT"), kDenied);
    EXPECT_EQ(desk->command("PWD"), pwd_reply("/"));
    // MLST names its path as PWD does, found exactly.
    EXPECT_EQ(desk->command("OPTS MLST type;"), "200 MLST OPTS type;\r\n");
    EXPECT_EQ(desk->command("MLST Sub/x.txt"),
              "250-Listing /Sub/x.txt\r\n type=file; /Sub/x.txt\r\n250 End\r\n");
    EXPECT_EQ(desk->command("MLST sub/x.txt"), kDenied);  // no folder "sub"

    // Not confined: real paths, "/" is the file system's.
    auto free = connect("FREE");
    EXPECT_EQ(free->command("PWD"), pwd_reply(jail_.string()));
    EXPECT_EQ(free->command("SIZE " + (files_ / "secret.txt").string()), "213 7\r\n");
    EXPECT_EQ(free->command("CWD /"), kDone);
    EXPECT_EQ(free->command("PWD"), pwd_reply("/"));

    // The control's account: the real path, and no way above it.
    auto ctrl = connect("CTRL");
    EXPECT_EQ(ctrl->command("PWD"), pwd_reply(jail_.string()));
    EXPECT_EQ(ctrl->command("CWD /"), kDenied);
    EXPECT_EQ(ctrl->command("CDUP"), kDenied);
    EXPECT_EQ(ctrl->command("CWD SUB"), kDone);
    EXPECT_EQ(ctrl->command("PWD"), pwd_reply((jail_ / "Sub").string()));
    const std::string x = (jail_ / "Sub" / "x.txt").string();
    EXPECT_EQ(ctrl->command("OPTS MLST type;"), "200 MLST OPTS type;\r\n");
    EXPECT_EQ(ctrl->command("MLST X.TXT"),
              "250-Listing " + x + "\r\n type=file; " + x + "\r\n250 End\r\n");
}

TEST_F(DesktopAccounts, UtcTimesAndTheYearOfOldFiles) {
    const std::int64_t recent = std::time(nullptr) / 60 * 60 - 3 * 86400;
    write_file(jail_ / "RECENT.NC", "new");
    set_mtime(jail_ / "RECENT.NC", recent);
    std::tm local{};
    const auto recent_time = static_cast<std::time_t>(recent);
    ::localtime_r(&recent_time, &local);
    char hh_mm[8];
    std::strftime(hh_mm, sizeof hh_mm, "%H:%M", &local);

    auto desk = connect("DESK");
    auto free = connect("FREE");
    auto ctrl = connect("CTRL");
    EXPECT_EQ(desk->command("MDTM OLD.NC"), "213 20200304120000\r\n");
    EXPECT_EQ(free->command("MDTM OLD.NC"), "213 20200304120000\r\n");
    EXPECT_EQ(ctrl->command("MDTM OLD.NC"), "213 20200304130000\r\n");

    const std::string as_ls = download(*desk, "LIST");
    EXPECT_NE(as_ls.find("           3 Mar 04  2020 OLD.NC\r\n"), std::string::npos) << as_ls;
    EXPECT_NE(as_ls.find(std::string(" ") + hh_mm + " RECENT.NC\r\n"), std::string::npos) << as_ls;
    const std::string fixed = download(*ctrl, "LIST");
    EXPECT_NE(fixed.find("           3 Mar 04 13:00 OLD.NC\r\n"), std::string::npos) << fixed;
    EXPECT_NE(fixed.find(std::string(" ") + hh_mm + " RECENT.NC\r\n"), std::string::npos) << fixed;
}
