// Python's ftplib against kftpd (the client side is ftplib_client.py): every command of the
// HELP list, resumed transfers, SIZE/MDTM, type E, the four listing forms as ftplib
// receives them, MLSD and MLST facts, and confined and read-only accounts, in passive and
// active mode.
#include "interop_support.h"

using namespace kesto::interop;
using kesto::test::read_file;
using kesto::test::write_file;

namespace {

const std::string kScript = std::string(KESTO_INTEROP_SCRIPTS) + "/ftplib_client.py";

struct FtplibMode {
    const char* name;
    bool active;
};

std::ostream& operator<<(std::ostream& out, const FtplibMode& mode) {
    return out << mode.name;
}

class FtplibTest : public InteropTest {
  protected:
    ClientResult ftplib(const std::string& scenario, const std::string& user, const fs::path& root,
                        bool active, const std::vector<std::string>& extra = {}) {
        std::vector<std::string> argv = {"python3", kScript, scenario};
        for (const std::string& option :
             {std::string("--port"), std::to_string(port()), std::string("--user"),
              login_name(user), std::string("--password"), std::string(kPassword),
              std::string("--root"), root.string()}) {
            argv.push_back(option);
        }
        if (active) argv.push_back("--active");
        argv.insert(argv.end(), extra.begin(), extra.end());
        return run_client(argv, client_folder(), 60s);
    }
};

class Ftplib : public FtplibTest, public ::testing::WithParamInterface<FtplibMode> {
  protected:
    ClientResult run(const std::string& scenario, const std::string& user, const fs::path& root,
                     const std::vector<std::string>& extra = {}) {
        return ftplib(scenario, user, root, GetParam().active, extra);
    }
};

}  // namespace

TEST_P(Ftplib, EveryCommandOfTheHelpListWorks) {
    const ClientResult r = run("commands", kUnixUser, files());
    EXPECT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(r.out, "OK\n") << r.describe();
}

TEST_P(Ftplib, ResumedTransfersSizesTimesAndTypeE) {
    write_file(files() / "A.NC", pattern_bytes(1000, 1));
    write_file(files() / "EMPTY.NC", "");
    write_file(files() / "O1000", pattern_bytes(65536, 2));
    set_mtime(files() / "A.NC", utc_time(2008, 3, 5, 14, 7, 9));
    set_mtime(files() / "EMPTY.NC", utc_time(1999, 12, 31, 23, 59, 59));
    set_mtime(files() / "O1000", utc_time(2024, 2, 29, 0, 0, 1));
    const ClientResult r = run("transfers", kUnixUser, files());
    EXPECT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(r.out, "OK\n") << r.describe();
    expect_data_connections(!GetParam().active);
}

TEST_P(Ftplib, ConfinedAccountIsDeniedEverythingOutsideItsFolder) {
    write_file(files() / "SECRET.NC", "secret");
    fs::create_directories(files() / "KEEP");
    write_file(jail() / "INSIDE.NC", pattern_bytes(3000, 3));
    fs::create_directory_symlink(files(), jail() / "OUT");
    const ClientResult r = run("confined", kConfinedUser, jail(), {"--outside", files().string()});
    EXPECT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(r.out, "OK\n") << r.describe();
    EXPECT_EQ(read_file(files() / "SECRET.NC"), "secret");
    expect_data_connections(!GetParam().active);
}

TEST_P(Ftplib, ReadOnlyAccountIsRefusedEveryChange) {
    write_file(files() / "A.NC", pattern_bytes(2500, 4));
    fs::create_directories(files() / "KEEP");
    const ClientResult r = run("readonly", kReadOnlyUser, files());
    EXPECT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(r.out, "OK\n") << r.describe();
    EXPECT_EQ(read_file(files() / "A.NC"), pattern_bytes(2500, 4));
    expect_data_connections(!GetParam().active);
}

TEST_P(Ftplib, MlsdAndMlstFactsMatchTheFiles) {
    const fs::path folder = files() / "LISTING";
    fs::create_directories(folder / "PROGRAMS");
    write_file(folder / "PART1.NC", pattern_bytes(1234, 5));
    write_file(folder / "SETUP.BAT", pattern_bytes(987, 6));
    write_file(folder / "Grüße 数据.nc", pattern_bytes(77, 7));
    make_read_only(folder / "SETUP.BAT");
    set_mtime(folder / "PART1.NC", utc_time(2008, 3, 5, 14, 7, 9));
    set_mtime(folder / "SETUP.BAT", utc_time(2107, 12, 24, 0, 5, 59));
    for (const char* user : {kUnixUser, kReadOnlyUser}) {
        std::vector<std::string> extra = {"--path", "LISTING"};
        if (std::string(user) == kReadOnlyUser) extra.push_back("--read-only");
        const ClientResult r = run("mlsd", user, files(), extra);
        EXPECT_EQ(r.exit_status, 0) << r.describe();
        EXPECT_EQ(r.out, "OK\n") << r.describe();
    }
    EXPECT_NE(read_file(folder_.log()).find("C->S: MLSD LISTING\r\n"), std::string::npos);
    expect_data_connections(!GetParam().active);
}

INSTANTIATE_TEST_SUITE_P(Interop, Ftplib,
                         ::testing::Values(FtplibMode{"Passive", false},
                                           FtplibMode{"Active", true}),
                         [](const auto& p) { return std::string(p.param.name); });

namespace {

struct ListingCase {
    const char* name;
    const char* user;
    bool active;
    std::vector<std::string> lines;  // LIST of the folder, as ftplib hands them out
    const char* syst;
};

std::ostream& operator<<(std::ostream& out, const ListingCase& c) {
    return out << c.name;
}

// A folder whose entries (and whose own and parent's times) are fixed: a program, a
// folder and a read-only batch file.
class FtplibListing : public FtplibTest, public ::testing::WithParamInterface<ListingCase> {};

}  // namespace

TEST_P(FtplibListing, ListingReceivedAsTheAccountsHostWouldSendIt) {
    const fs::path folder = files() / "LISTING";
    fs::create_directories(folder / "PROGRAMS");
    write_file(folder / "PART1.NC", pattern_bytes(1234, 5));
    write_file(folder / "SETUP.BAT", pattern_bytes(987, 6));
    make_read_only(folder / "SETUP.BAT");
    set_mtime(folder / "PART1.NC", utc_time(2008, 3, 5, 14, 7, 9));
    set_mtime(folder / "PROGRAMS", utc_time(2008, 11, 20, 9, 15));
    set_mtime(folder / "SETUP.BAT", utc_time(2007, 12, 24, 0, 5));
    set_mtime(folder, utc_time(2008, 11, 21, 12, 30));
    set_mtime(files(), utc_time(2008, 11, 22, 23, 1));

    const ClientResult r =
        ftplib("listing", GetParam().user, files(), GetParam().active, {"--path", "LISTING"});
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    std::vector<std::string> expected;
    for (const auto& line : GetParam().lines) expected.push_back("LIST|" + line);
    expected.push_back("NLST|PART1.NC");
    expected.push_back("NLST|SETUP.BAT");
    expected.push_back(std::string("SYST|") + GetParam().syst);
    EXPECT_EQ(lines_of(r.out), expected) << r.describe();
    expect_data_connections(!GetParam().active);
}

namespace {

const std::vector<std::string> kUnixLines = {
    "total 100",
    "drwxrwxrwx   1 ftpd     ftpd           0 Nov 21 12:30 .",
    "drwxrwxrwx   1 ftpd     ftpd           0 Nov 22 23:01 ..",
    "-rw-rw-rw-   1 ftpd     ftpd        1234 Mar 05 14:07 PART1.NC",
    "drwxrwxrwx   1 ftpd     ftpd           0 Nov 20 09:15 PROGRAMS",
    "-r-xr-xr-x   1 ftpd     ftpd         987 Dec 24 00:05 SETUP.BAT",
};
const std::vector<std::string> kWinNtLines = {
    "11-21-08  12:30AM       <DIR>          .",
    "11-22-08  11:01PM       <DIR>          ..",
    "03-05-08  02:07PM                 1234 PART1.NC",
    "11-20-08  09:15AM       <DIR>          PROGRAMS",
    "12-24-07  00:05AM                  987 SETUP.BAT",
};
const std::vector<std::string> kUnknownLines = {
    ".            <DIR>         11-21-08  12:30a", "..           <DIR>         11-22-08  11:01p",
    "PART1    .NC          1234 03-05-08   2:07p", "PROGRAMS     <DIR>         11-20-08   9:15a",
    "SETUP    BAT           987 12-24-07   0:05a",
};
const std::vector<std::string> kOkumaLines = {
    "----------   1 owner     group               0 Nov 21 2008 .",
    "----------   1 owner     group               0 Nov 22 2008 ..",
    "----------   1 owner     group            1234 Mar 05 2008 PART1.NC",
    "----------   1 owner     group               0 Nov 20 2008 PROGRAMS",
    "----------   1 owner     group             987 Dec 24 2007 SETUP.BAT",
};

const char* kUnixSyst = "215 UNIX Type: L8";
const char* kOtherSyst = "215 UNKNOWN Type: L8";

}  // namespace

INSTANTIATE_TEST_SUITE_P(
    Interop, FtplibListing,
    ::testing::Values(ListingCase{"UnixPassive", kUnixUser, false, kUnixLines, kUnixSyst},
                      ListingCase{"UnixActive", kUnixUser, true, kUnixLines, kUnixSyst},
                      ListingCase{"WinNtPassive", kWinUser, false, kWinNtLines, kOtherSyst},
                      ListingCase{"WinNtActive", kWinUser, true, kWinNtLines, kOtherSyst},
                      ListingCase{"UnknownPassive", kUnknownUser, false, kUnknownLines, kOtherSyst},
                      ListingCase{"UnknownActive", kUnknownUser, true, kUnknownLines, kOtherSyst},
                      ListingCase{"OkumaPassive", kOkumaUser, false, kOkumaLines, kOtherSyst},
                      ListingCase{"OkumaActive", kOkumaUser, true, kOkumaLines, kOtherSyst}),
    [](const auto& p) { return std::string(p.param.name); });
