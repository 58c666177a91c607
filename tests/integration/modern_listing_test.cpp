// FEAT, OPTS, MLSD and MLST against the real server, and names in UTF-8 (or any bytes
// but CR and LF) through every command that carries one: the facts of files, folders
// and the listed folder, a read-only account's and a read-only file's perm, a confined
// account that reaches nothing outside its folder, and HELP as it always was.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "ftp_replies.h"
#include "platform/net.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::UniqueFd;

namespace {

const std::string kFeatures =
    "211-Features:\r\n EPSV\r\n EPRT\r\n MDTM\r\n MLST type*;size*;modify*;perm*;unix.mode*;\r\n"
    " REST STREAM\r\n SIZE\r\n TVFS\r\n UTF8\r\n211 End\r\n";
const std::string kOpening = "150 Opening ASCII mode data connection for /bin/ls.\r\n";
const std::string kBadArgs = "501 Syntax error in parameters or arguments.\r\n";
const std::string kUnrecognized = "500 Syntax error, command unrecognized.\r\n";

constexpr std::time_t kWhen = 1796724900;  // 2026-12-08 10:15:00 UTC
const std::string kStamp = "modify=20261208101500;";
const std::string kGreeting = "Grüße ÄÖ.txt";
const std::string kHanzi = "数据.nc";

void set_mode(const fs::path& path, fs::perms mode) {
    fs::permissions(path, mode, fs::perm_options::replace);
}

class ModernListing : public ::testing::Test {
  protected:
    void SetUp() override {
        files_ = fs::canonical(folder_.path()) / "files";
        jail_ = files_ / "JAIL";
        fs::create_directories(files_ / "SUB");
        fs::create_directories(jail_);
        write_file(files_ / "A.NC", std::string(1000, 'a'));
        write_file(files_ / "RO.NC", "ro");
        write_file(files_ / "SUB" / "IN.NC", "in");
        write_file(files_ / kGreeting, "hallo");
        write_file(files_ / kHanzi, "shuju");
        write_file(jail_ / "INSIDE.NC", "inside");
        fs::create_directory_symlink(files_, jail_ / "OUT");
        set_mode(files_ / "RO.NC", fs::perms(0444));
        for (const fs::path& p : {files_ / "A.NC", files_ / kGreeting, files_ / kHanzi,
                                  files_ / "SUB" / "IN.NC", jail_ / "INSIDE.NC"}) {
            set_mode(p, fs::perms(0644));
            set_mtime(p, kWhen);
        }
        for (const fs::path& p : {files_ / "SUB", jail_, files_}) {
            set_mode(p, fs::perms(0755));
            set_mtime(p, kWhen);
        }
        set_mtime(files_ / "RO.NC", kWhen);
        write_file(
            folder_.accounts(),
            "[USERU]\r\nNAME=u\r\nPASS=pw\r\nPATH=" + files_.string() +
                "\r\n[USERRO]\r\nNAME=ro\r\nPASS=pw\r\nREADONLY=yes\r\nPATH=" + files_.string() +
                "\r\n[USERC]\r\nNAME=c\r\nPASS=pw\r\nROOT=yes\r\nPATH=" + jail_.string() + "\r\n");
        server_ = std::make_unique<ServerUnderTest>(folder_, "EXTREME");
        ASSERT_TRUE(server_->ready());
        c_ = logged_in(server_->port(), "u", "pw");
    }

    // A passive transfer on `c`: what came over the data connection, and the replies.
    std::string passive(FtpConnection& c, const std::string& command, std::string* replies) {
        UniqueFd data = open_passive(c);
        EXPECT_TRUE(data);
        *replies = c.command(command);
        if (replies->rfind("150", 0) != 0) return {};
        const std::string bytes = read_all(data.get());
        *replies += c.reply();
        return bytes;
    }
    // The same, expecting LIST's replies around the data.
    std::string listing(FtpConnection& c, const std::string& command) {
        std::string replies;
        const std::string bytes = passive(c, command, &replies);
        EXPECT_EQ(replies, kOpening + kComplete) << command;
        return bytes;
    }
    std::string listing(const std::string& command) { return listing(*c_, command); }

    std::string mlst_reply(const std::string& path, const std::string& facts) const {
        return "250-Listing " + path + "\r\n " + facts + " " + path + "\r\n250 End\r\n";
    }

    ProgramFolder folder_;
    fs::path files_;
    fs::path jail_;
    std::unique_ptr<ServerUnderTest> server_;
    std::unique_ptr<FtpConnection> c_;
};

}  // namespace

TEST_F(ModernListing, FeatNamesWhatIsOfferedAndHelpStaysAsItWas) {
    FtpConnection fresh(server_->port());
    fresh.reply();
    EXPECT_EQ(fresh.command("FEAT"), kFeatures);
    EXPECT_EQ(fresh.command("FEAT X"), kBadArgs);
    EXPECT_EQ(fresh.command("FEATURES"), kUnrecognized);
    EXPECT_EQ(fresh.command("MLSD"), "530 Not logged in.\r\n");
    EXPECT_EQ(fresh.command("MLST"), "530 Not logged in.\r\n");
    EXPECT_EQ(c_->command("feat"), kFeatures);
    EXPECT_EQ(fresh.command("HELP"),
              "214- The following commands are implemented:\r\n"
              "214- [+]ABOR   [+]ACCT   [+]ALLO   [+]APPE   [+]CDUP   [+]CWD\r\n"
              "214- [+]DELE   [+]HELP   [+]LIST   [+]MDTM   [+]MKD    [+]MODE\r\n"
              "214- [+]NLST   [+]NOOP   [+]PASS   [+]PASV   [+]PORT   [+]PWD\r\n"
              "214- [+]QUIT   [+]REIN   [+]REST   [+]RETR   [+]RMD    [+]RNFR\r\n"
              "214- [+]RNTO   [+]SITE   [+]SIZE   [-]SMNT   [+]STAT   [+]STOR\r\n"
              "214- [+]STOU   [+]STRU   [+]SYST   [+]TYPE   [+]USER   [+]XCUP\r\n"
              "214- [+]XMKD   [+]XPWD   [+]XRMD\r\n"
              "214- Consult RFC 959, RFC 775 and RFC 1123 for more information\r\n"
              "214  Please report problems to the KESTO FTP developers.\r\n");
}

TEST_F(ModernListing, OptsSetsUtf8AndSelectsTheFactsUntilRein) {
    FtpConnection fresh(server_->port());
    fresh.reply();
    EXPECT_EQ(fresh.command("OPTS UTF8 ON"), "200 UTF8 mode is always on.\r\n");
    EXPECT_EQ(fresh.command("opts utf8 on"), "200 UTF8 mode is always on.\r\n");
    EXPECT_EQ(fresh.command("OPTS UTF8 OFF"),
              "504 Command not implemented for that parameter.\r\n");
    for (const char* bad : {"OPTS UTF8", "OPTS UTF8 MAYBE", "OPTS MODE Z", "OPTS UTF-8 ON"}) {
        EXPECT_EQ(fresh.command(bad), kBadArgs) << bad;
    }
    EXPECT_EQ(fresh.command("OPTS"), kUnrecognized);

    EXPECT_EQ(c_->command("OPTS MLST size;Type;unknown;"), "200 MLST OPTS type;size;\r\n");
    EXPECT_NE(c_->command("FEAT").find(" MLST type*;size*;modify;perm;unix.mode;\r\n"),
              std::string::npos);
    EXPECT_EQ(listing("MLSD SUB"), "type=cdir; .\r\ntype=file;size=2; IN.NC\r\n");
    EXPECT_EQ(c_->command("MLST SUB/IN.NC"),
              mlst_reply((files_ / "SUB" / "IN.NC").string(), "type=file;size=2;"));
    EXPECT_EQ(c_->command("OPTS MLST nothing"), "200 MLST OPTS\r\n");
    EXPECT_EQ(c_->command("MLST A.NC"), mlst_reply((files_ / "A.NC").string(), ""));
    EXPECT_EQ(c_->command("OPTS MLST unix.mode"), "200 MLST OPTS unix.mode;\r\n");
    EXPECT_EQ(c_->command("REIN"), "220 Service ready for new user.\r\n");
    EXPECT_EQ(c_->command("FEAT"), kFeatures);
}

TEST_F(ModernListing, MlsdListsFactsOfFilesFoldersAndTheFolderItself) {
    const std::string file = "type=file;size=";
    const std::string root_lines = "type=cdir;" + kStamp + "perm=elcmpdf;unix.mode=0755; .\r\n" +
                                   file + "1000;" + kStamp + "perm=rwadf;unix.mode=0644; A.NC\r\n" +
                                   file + "5;" + kStamp + "perm=rwadf;unix.mode=0644; " +
                                   kGreeting + "\r\n" + "type=dir;" + kStamp +
                                   "perm=elcmpdf;unix.mode=0755; JAIL\r\n" + file + "2;" + kStamp +
                                   "perm=r;unix.mode=0444; RO.NC\r\n" + "type=dir;" + kStamp +
                                   "perm=elcmpdf;unix.mode=0755; SUB\r\n" + file + "5;" + kStamp +
                                   "perm=rwadf;unix.mode=0644; " + kHanzi + "\r\n";
    EXPECT_EQ(listing("MLSD"), root_lines);
    EXPECT_EQ(listing("MLSD " + files_.string()), root_lines);
    // Names are bytes on the wire whatever the TYPE.
    EXPECT_EQ(c_->command("TYPE E"), "200 Command okay.\r\n");
    EXPECT_EQ(listing("MLSD ."), root_lines);

    const std::string sub = "type=cdir;" + kStamp + "perm=elcmpdf;unix.mode=0755; .\r\n" + file +
                            "2;" + kStamp + "perm=rwadf;unix.mode=0644; IN.NC\r\n";
    EXPECT_EQ(listing("MLSD sub"), sub);
    EXPECT_EQ(c_->command("CWD SUB"), "250 Requested file action okay, completed.\r\n");
    EXPECT_EQ(listing("MLSD ../SUB/"), sub);

    // A file, a missing name and a pattern (MLSD takes none) open no data connection.
    std::string replies;
    EXPECT_EQ(passive(*c_, "MLSD IN.NC", &replies), "");
    EXPECT_EQ(replies, kBadArgs);
    EXPECT_EQ(passive(*c_, "MLSD MISSING", &replies), "");
    EXPECT_EQ(replies, kNotTaken);
    EXPECT_EQ(passive(*c_, "MLSD *", &replies), "");
    EXPECT_EQ(replies, kNotTaken);
    EXPECT_EQ(c_->command("MLSDX"), kUnrecognized);

    // No data connection: 425, as LIST answers.
    ActiveListener closed;
    const std::string port = closed.port_command();
    closed.socket.reset();
    EXPECT_EQ(c_->command(port), "200 Command okay.\r\n");
    EXPECT_EQ(c_->command("MLSD"), "425 Can't open data connection.\r\n");
    EXPECT_NE(read_file(folder_.log()).find("C->S: MLSD\r\n"), std::string::npos);
}

TEST_F(ModernListing, MlstDescribesOneEntryOnTheControlConnection) {
    const std::string a = (files_ / "A.NC").string();
    const std::string a_facts = "type=file;size=1000;" + kStamp + "perm=rwadf;unix.mode=0644;";
    EXPECT_EQ(c_->command("MLST A.NC"), mlst_reply(a, a_facts));
    EXPECT_EQ(c_->command("MLST a.nc"), mlst_reply(a, a_facts));  // the real name
    EXPECT_EQ(c_->command("MLST RO.NC"),
              mlst_reply((files_ / "RO.NC").string(),
                         "type=file;size=2;" + kStamp + "perm=r;unix.mode=0444;"));
    const std::string folder_facts = "type=dir;" + kStamp + "perm=elcmpdf;unix.mode=0755;";
    EXPECT_EQ(c_->command("MLST"), mlst_reply(files_.string(), folder_facts));
    EXPECT_EQ(c_->command("MLST sub"), mlst_reply((files_ / "SUB").string(), folder_facts));
    EXPECT_EQ(c_->command("MLST MISSING"), kNotTaken);
    EXPECT_EQ(c_->command("MLSTX"), kUnrecognized);
    // A path the control connection cannot carry is refused, and the session goes on.
    const std::string deep = std::string(120, 'D') + "/" + std::string(120, 'E');
    fs::create_directories(files_ / deep);
    EXPECT_EQ(c_->command("MLST " + deep), kNotTaken);
    EXPECT_EQ(c_->command("NOOP"), "200 Command okay.\r\n");
}

TEST_F(ModernListing, ReadOnlyAccountIsOfferedNoChange) {
    auto ro = logged_in(server_->port(), "ro", "pw");
    EXPECT_EQ(ro->command("MLST A.NC"),
              mlst_reply((files_ / "A.NC").string(),
                         "type=file;size=1000;" + kStamp + "perm=r;unix.mode=0644;"));
    const std::string lines = listing(*ro, "MLSD");
    EXPECT_EQ(lines.substr(0, lines.find("\r\n")),
              "type=cdir;" + kStamp + "perm=el;unix.mode=0755; .");
    EXPECT_NE(lines.find("type=dir;" + kStamp + "perm=el;unix.mode=0755; SUB\r\n"),
              std::string::npos);
    EXPECT_EQ(lines.find("perm=rw"), std::string::npos) << lines;
}

TEST_F(ModernListing, ConfinedAccountNamesAndReachesNothingOutsideItsFolder) {
    auto c = logged_in(server_->port(), "c", "pw");
    for (const std::string& outside :
         {std::string(".."), std::string("../.."), std::string("../A.NC"), std::string("/"),
          std::string("/etc"), files_.string(), (files_ / "A.NC").string(), std::string("OUT"),
          std::string("OUT/A.NC"), std::string("\\..\\SUB")}) {
        EXPECT_EQ(c->command("MLST " + outside), kDenied) << outside;
        EXPECT_EQ(c->command("MLSD " + outside), kDenied) << outside;
    }
    EXPECT_EQ(c->command("MLST"),
              mlst_reply(jail_.string(), "type=dir;" + kStamp + "perm=elcmpdf;unix.mode=0755;"));
    EXPECT_EQ(c->command("MLST INSIDE.NC").find("250-Listing " + jail_.string() + "/INSIDE.NC"),
              0U);
    // The link out is listed with its own data: nothing of its target.
    const std::string lines = listing(*c, "MLSD");
    EXPECT_EQ(lines, "type=cdir;" + kStamp + "perm=elcmpdf;unix.mode=0755; .\r\n" +
                         "type=file;size=6;" + kStamp + "perm=rwadf;unix.mode=0644; INSIDE.NC\r\n" +
                         lines.substr(lines.find("type=OS.unix=special;")));
    EXPECT_EQ(lines.substr(lines.rfind("unix.mode=")), "unix.mode=0777; OUT\r\n");
    EXPECT_EQ(lines.find("type=dir"), std::string::npos) << lines;
}

TEST_F(ModernListing, NamesInUtf8PassUnchangedThroughEveryCommand) {
    fs::create_directories(files_ / "Ordner Ü");
    write_file(files_ / "x\xFFy", "iac");  // not UTF-8: bytes all the same

    const std::string list = listing("LIST");
    for (const std::string& name : {kGreeting, kHanzi, std::string("Ordner Ü")}) {
        EXPECT_NE(list.find(" " + name + "\r\n"), std::string::npos) << name;
    }
    const std::string names = listing("NLST");
    EXPECT_NE(names.find("\r\n" + kGreeting + "\r\n"), std::string::npos) << names;
    EXPECT_NE(names.find("\r\n" + kHanzi + "\r\n"), std::string::npos) << names;
    EXPECT_NE(listing("MLSD").find("; " + kGreeting + "\r\n"), std::string::npos);
    EXPECT_EQ(c_->command("MLST " + kGreeting)
                  .rfind("250-Listing " + (files_ / kGreeting).string() + "\r\n", 0),
              0U);

    EXPECT_EQ(listing("RETR " + kGreeting), "hallo");
    EXPECT_EQ(listing("RETR x\xFF\xFFy"), "iac");  // 0xFF doubled, as Telnet wants it

    // STOR onto an existing name keeps it; a new name has only its ASCII letters raised.
    UniqueFd data = open_passive(*c_);
    EXPECT_EQ(c_->command("STOR " + kHanzi), kOpening);
    ASSERT_EQ(kesto::platform::send_all(data.get(), "new", 3), 0);
    data.reset();
    EXPECT_EQ(c_->reply(), kComplete);
    EXPECT_EQ(read_file(files_ / kHanzi), "new");
    data = open_passive(*c_);
    EXPECT_EQ(c_->command("STOR 新しい.nc"), kOpening);
    data.reset();
    EXPECT_EQ(c_->reply(), kComplete);
    EXPECT_TRUE(fs::exists(files_ / "新しい.NC"));

    EXPECT_EQ(c_->command("CWD Ordner Ü"), "250 Requested file action okay, completed.\r\n");
    EXPECT_EQ(c_->command("PWD"),
              "257 \"" + (files_ / "Ordner Ü").string() + "\" is current directory.\r\n");
}
