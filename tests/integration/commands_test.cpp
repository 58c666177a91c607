// The command set without data connections, against the real server.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <utime.h>

#include <ctime>

#include "ftp_replies.h"
#include "test_server.h"

using namespace kesto::test;

namespace {

const std::string kNotTaken550 = "550 Requested action not taken.\r\n";
const std::string kNotTaken553 = "553 Requested action not taken.\r\n";
const std::string kDone = "250 Requested file action okay, completed.\r\n";
const std::string kBadArgs = "501 Syntax error in parameters or arguments.\r\n";
const std::string kUnrecognized = "500 Syntax error, command unrecognized.\r\n";
const std::string kNotForParameter = "504 Command not implemented for that parameter.\r\n";

class Commands : public ::testing::Test {
  protected:
    void SetUp() override {
        ::setenv("TZ", "UTC", 1);
        ::tzset();
        files_ = fs::canonical(folder_.path()) / "files";
        fs::create_directories(files_ / "NC");
        fs::create_directories(files_ / "FULL");
        write_file(files_ / "FULL" / "X", "x");
        write_file(files_ / "A.NC", std::string(1000, 'a'));
        std::string accounts;
        for (const char* sys : {"UNIX", "WINNT4", "OKUMA", "UNKNOWN"}) {
            accounts += std::string("[USER") + sys + "]\r\nNAME=" + sys +
                        "\r\nPASS=pw\r\nSYS=" + sys + "\r\nPATH=" + files_.string() + "\r\n";
        }
        write_file(folder_.accounts(), accounts);
        server_ = std::make_unique<ServerUnderTest>(folder_, "FATAL");
        ASSERT_TRUE(server_->ready());
        c_ = connect("UNIX");
    }

    std::unique_ptr<FtpConnection> connect(const std::string& user) {
        auto c = std::make_unique<FtpConnection>(server_->port());
        c->reply();
        EXPECT_TRUE(c->login(user, "pw"));
        return c;
    }

    ProgramFolder folder_;
    fs::path files_;
    std::unique_ptr<ServerUnderTest> server_;
    std::unique_ptr<FtpConnection> c_;
};

}  // namespace

TEST_F(Commands, DispatchAndLoginRules) {
    FtpConnection fresh(server_->port());
    fresh.reply();
    EXPECT_EQ(fresh.command("AB"), kUnrecognized);
    EXPECT_EQ(fresh.command(""), kUnrecognized);
    EXPECT_EQ(fresh.command("ABOR"), "225 Data connection open; no transfer in progress.\r\n");
    EXPECT_EQ(fresh.command("NOOPX"), kOkay);
    EXPECT_EQ(fresh.command("SYST"), "530 Not logged in.\r\n");
    EXPECT_EQ(fresh.command("PWD"), kNotTaken550);
    EXPECT_EQ(fresh.command("DELE"), kUnrecognized);
    const std::string help = fresh.command("HELP");
    EXPECT_EQ(help.substr(0, 45), "214- The following commands are implemented:\r");
    EXPECT_NE(help.find("214- Consult RFC 959, RFC 775 and RFC 1123 for more information\r\n214  "),
              std::string::npos);
}

TEST_F(Commands, TypeModeStructure) {
    for (const char* ok : {"TYPE A N", "TYPE E", "TYPE I", "TYPE L 8", "TYPE AX", "TYPE L 08"}) {
        EXPECT_EQ(c_->command(ok), kOkay) << ok;
    }
    for (const char* no : {"TYPE A T", "TYPE L 7", "TYPE E C"})
        EXPECT_EQ(c_->command(no), kNotForParameter) << no;
    for (const char* bad : {"TYPE I X", "TYPE A X", "TYPE L8"})
        EXPECT_EQ(c_->command(bad), kBadArgs) << bad;
    EXPECT_EQ(c_->command("TYPE X"), kUnrecognized);
    EXPECT_EQ(c_->command("MODE S"), kOkay);
    EXPECT_EQ(c_->command("MODE B"), kNotForParameter);
    EXPECT_EQ(c_->command("MODE SX"), kUnrecognized);
    EXPECT_EQ(c_->command("MODE Z"), kBadArgs);
    EXPECT_EQ(c_->command("STRU F"), kOkay);
    EXPECT_EQ(c_->command("STRU R"), kNotForParameter);
    EXPECT_EQ(c_->command("STRU FX"), kBadArgs);
    EXPECT_EQ(c_->command("SMNT X"), "502 Command not implemented.\r\n");
    EXPECT_EQ(c_->command("ALLO 100"),
              "202 Command not implemented, superfluous at this site.\r\n");
    EXPECT_EQ(c_->command("SITE CHMOD 777 X"), kOkay);
}

TEST_F(Commands, RestAndStatus) {
    const std::string fresh = c_->command("STAT");
    EXPECT_NE(fresh.find("Type: ASCII (Non Print)\r\nMode: Stream\r\nStructure: File\r\n"
                         "Server is not in passive mode.\r\nNo restart point set.\r\n"
                         "Operating system emulation: Unix\r\n\r\n211 System status\r\n"),
              std::string::npos)
        << fresh;
    EXPECT_EQ(fresh.substr(0, 44), "211- System status\r\n\r\nKESTO FTP Server v2.02");
    EXPECT_NE(fresh.find("Login user: UNIX.\r\nCurrent directory: " + files_.string() + "\r\n"),
              std::string::npos);
    EXPECT_EQ(c_->command("REST 0"), kBadArgs);
    EXPECT_EQ(c_->command("REST -5"), kBadArgs);
    EXPECT_EQ(c_->command("REST 100"),
              "350 Requested file action pending further information.\r\n");
    EXPECT_EQ(c_->command("REST -5"), kBadArgs);  // stores nothing
    EXPECT_NE(c_->command("STAT").find("Restart point set to 100.\r\n"), std::string::npos);
    EXPECT_EQ(c_->command("TYPE L 8"), kOkay);
    EXPECT_NE(c_->command("STAT").find("Type: Local (Byte size 8)\r\n"), std::string::npos);
    EXPECT_EQ(c_->command("STATX"), kUnrecognized);
    const std::string file_status = c_->command("STAT A.NC");
    EXPECT_EQ(file_status.substr(0, 19), "213- File status.\r\n");
    EXPECT_NE(file_status.find("-rw-rw-rw-   1 ftpd     ftpd        1000 "), std::string::npos);
    EXPECT_TRUE(file_status.ends_with("A.NC\r\n213 File status.\r\n"));
    EXPECT_TRUE(c_->command("STAT NC").ends_with("212 Directory status.\r\n"));
    EXPECT_EQ(c_->command("NOOP"), kOkay);  // nothing was left behind the last line
}

TEST_F(Commands, PwdAndSystPerEmulation) {
    EXPECT_EQ(c_->command("SYST"), "215 UNIX Type: L8\r\n");
    for (const char* user : {"WINNT4", "OKUMA", "UNKNOWN"}) {
        auto c = connect(user);
        EXPECT_EQ(c->command("SYST"), "215 UNKNOWN Type: L8\r\n") << user;
        EXPECT_EQ(c->command("XPWD"), "257 \"" + files_.string() + "\" is current directory.\r\n");
    }
    EXPECT_EQ(c_->command("CWD NC"), kDone);
    EXPECT_EQ(c_->command("PWD"),
              "257 \"" + (files_ / "NC").string() + "\" is current directory.\r\n");
}

TEST_F(Commands, DeepFoldersRefuseTooLongRepliesWithoutActing) {
    const std::string deep(200, 'D');
    EXPECT_EQ(c_->command("MKD " + deep), "257 \"" + deep + "\" created.\r\n");
    EXPECT_EQ(c_->command("CWD " + deep), kDone);
    EXPECT_EQ(c_->command("PWD"), kNotTaken550);
    EXPECT_EQ(c_->command("MKD " + std::string(240, 'E')), kBadArgs);
    EXPECT_FALSE(fs::exists(files_ / deep / std::string(240, 'E')));
    EXPECT_EQ(c_->command("NOOP"), kOkay);
}

TEST_F(Commands, MakeRemoveRenameDelete) {
    EXPECT_EQ(c_->command("MKD new"), "257 \"NEW\" created.\r\n");
    EXPECT_TRUE(fs::is_directory(files_ / "NEW"));
    EXPECT_EQ(c_->command("MKD NEW"), kNotTaken550);
    EXPECT_EQ(c_->command("RMD MISSING"), kBadArgs);
    EXPECT_EQ(c_->command("RMD FULL"), kNotTaken550);
    EXPECT_EQ(c_->command("XRMD NEW"), kDone);
    EXPECT_EQ(c_->command("RNFR A.NC"),
              "350 Requested file action pending further information.\r\n");
    EXPECT_EQ(c_->command("NOOP"), kOkay);
    EXPECT_EQ(c_->command("RNTO B.NC"), "503 Bad sequence of commands.\r\n");
    EXPECT_EQ(c_->command("RNFR MISSING"), kNotTaken550);
    // A rename onto a taken name (in any case) keeps both files.
    write_file(files_ / "b.nc", "keep");
    c_->command("RNFR A.NC");
    EXPECT_EQ(c_->command("RNTO B.NC"), kNotTaken553);
    EXPECT_EQ(read_file(files_ / "b.nc"), "keep");
    c_->command("RNFR A.NC");
    EXPECT_EQ(c_->command("RNTO C.NC"), kDone);
    EXPECT_TRUE(fs::exists(files_ / "C.NC"));
    EXPECT_EQ(c_->command("DELE C.NC"), kDone);
    EXPECT_EQ(c_->command("DELE C.NC"), kNotTaken550);
    EXPECT_EQ(c_->command("DELE NC"), kNotTaken550);
    fs::permissions(files_ / "b.nc", fs::perms::owner_write, fs::perm_options::remove);
    EXPECT_EQ(c_->command("DELE B.NC"), kNotTaken550);  // read-only, as on Windows
    EXPECT_TRUE(fs::exists(files_ / "b.nc"));
}

TEST_F(Commands, SizeAndModificationTime) {
    struct utimbuf times {};
    std::tm t{};
    t.tm_year = 108;
    t.tm_mon = 2;
    t.tm_mday = 5;
    t.tm_hour = 14;
    t.tm_min = 7;
    t.tm_sec = 9;
    times.actime = times.modtime = ::timegm(&t);
    ASSERT_EQ(::utime((files_ / "A.NC").c_str(), &times), 0);
    for (const char* type : {"TYPE A", "TYPE E", "TYPE I", "TYPE L 8"}) {
        c_->command(type);
        EXPECT_EQ(c_->command("SIZE A.NC"), "213 1000\r\n") << type;
        EXPECT_EQ(c_->command("SIZE NC"), kNotTaken550);
    }
    EXPECT_EQ(c_->command("MDTM a.nc"), "213 20080305140709\r\n");
    EXPECT_EQ(c_->command("MDTM NC"), kNotTaken550);
    EXPECT_EQ(c_->command("MDTM MISSING"), kNotTaken550);
}
