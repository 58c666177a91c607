// curl against kftpd: listings, downloads, uploads, resume, append, folder creation and
// quoted commands, in passive and active mode (EPSV/EPRT as curl prefers them, PASV/PORT
// as older clients send them, and over IPv6), for open, confined and read-only accounts.
// Every curl run is a process of its own: curl stalls when it reuses an FTP connection.
#include "interop_support.h"

using namespace kesto::interop;
using kesto::test::read_file;
using kesto::test::write_file;

namespace {

struct CurlMode {
    const char* name;
    std::vector<std::string> args;
    const char* command;  // what opens its data connections
    bool ipv6 = false;
};

std::ostream& operator<<(std::ostream& out, const CurlMode& mode) {
    return out << mode.name;
}

// curl's defaults are EPSV and EPRT; older clients' PASV and PORT are asked for.
const CurlMode kPassive{"Passive", {}, "EPSV"};
const CurlMode kPassiveClassic{"PassiveClassic", {"--disable-epsv"}, "PASV"};
const CurlMode kActive{"Active", {"--ftp-port", "127.0.0.1"}, "EPRT"};
const CurlMode kActiveClassic{
    "ActiveClassic", {"--ftp-port", "127.0.0.1", "--disable-eprt"}, "PORT"};
const CurlMode kIpv6Passive{"Ipv6Passive", {}, "EPSV", true};
const CurlMode kIpv6Active{"Ipv6Active", {"--ftp-port", "::1"}, "EPRT", true};

class Curl : public InteropTest, public ::testing::WithParamInterface<CurlMode> {
  protected:
    ClientResult curl(const std::string& user, const std::vector<std::string>& args) {
        std::vector<std::string> argv = {"curl",         "-q",        "--silent",
                                         "--show-error", "--noproxy", "*"};
        for (const char* limit : {"--connect-timeout", "5", "--max-time", "20"}) {
            argv.push_back(limit);
        }
        argv.push_back("--user");
        argv.push_back(login_name(user) + ":" + kPassword);
        argv.insert(argv.end(), GetParam().args.begin(), GetParam().args.end());
        argv.insert(argv.end(), args.begin(), args.end());
        return run_client(argv, client_folder(), 30s);
    }
    fs::path local(const std::string& name) const { return client_folder() / name; }
    std::string url(const std::string& path = "/") const {
        return GetParam().ipv6 ? url6(path) : InteropTest::url(path);
    }

    // A run that the server refuses with `reply`: curl fails with `curl_status`, and the
    // server's trace shows the reply. (curl 7.88 in active mode reports a refused transfer
    // command with a wrong message of its own, so the reply is looked up in the trace.)
    void refused(const std::string& user, const std::vector<std::string>& args,
                 const std::string& reply, int curl_status) {
        const std::size_t before = replies_logged(reply);
        const ClientResult r = curl(user, args);
        EXPECT_EQ(r.exit_status, curl_status) << r.describe();
        EXPECT_TRUE(reply_logged_after(reply, before)) << reply << "\n" << r.describe();
    }

    void expect_mode_was_used() const { expect_data_connections(std::string(GetParam().command)); }
};

}  // namespace

TEST_P(Curl, ListingsNameEveryEntryWithItsSize) {
    write_file(files() / "A.NC", pattern_bytes(1000, 1));
    write_file(files() / "EMPTY.TXT", "");
    write_file(files() / "PART 7.NC", pattern_bytes(70001, 2));
    const std::map<std::string, long long> expected = {
        {".", -1},        {"..", -1},           {"A.NC", 1000},
        {"EMPTY.TXT", 0}, {"PART 7.NC", 70001}, {"JAIL", -1}};
    for (const char* user : {kUnixUser, kWinUser}) {
        const ClientResult listing = curl(user, {url("/")});
        ASSERT_EQ(listing.exit_status, 0) << listing.describe();
        EXPECT_EQ(listing_entries(listing.out), expected) << user << "\n" << listing.out;
    }
    const ClientResult names = curl(kUnixUser, {"--list-only", url("/")});
    ASSERT_EQ(names.exit_status, 0) << names.describe();
    EXPECT_EQ(lines_of(names.out), (std::vector<std::string>{"A.NC", "EMPTY.TXT", "PART 7.NC"}));
    expect_mode_was_used();
}

TEST_P(Curl, DownloadsAndUploadsAreByteIdentical) {
    fs::create_directories(files() / "NC");
    const std::vector<std::pair<std::string, std::size_t>> remote = {{"EMPTY.BIN", 0},
                                                                     {"ONE.BIN", 1},
                                                                     {"BLOCK.BIN", 256},
                                                                     {"NC/PART1.NC", 70001},
                                                                     {"BIG.BIN", 300007}};
    for (std::size_t i = 0; i < remote.size(); ++i) {
        write_file(files() / remote[i].first,
                   pattern_bytes(remote[i].second, static_cast<unsigned>(i)));
    }
    for (const auto& [name, size] : remote) {
        const fs::path out = local("got.bin");
        const ClientResult get = curl(kUnixUser, {"-o", out.string(), url("/" + name)});
        ASSERT_EQ(get.exit_status, 0) << get.describe();
        EXPECT_EQ(read_file(out), read_file(files() / name)) << name;
        fs::remove(out);
    }
    // Uploads: a binary file, an empty one, and one into a subfolder (names arrive upper case).
    write_file(local("up.bin"), pattern_bytes(200000, 9));
    write_file(local("empty.bin"), "");
    ClientResult put = curl(kUnixUser, {"-T", local("up.bin").string(), url("/UP.BIN")});
    ASSERT_EQ(put.exit_status, 0) << put.describe();
    EXPECT_EQ(read_file(files() / "UP.BIN"), read_file(local("up.bin")));
    put = curl(kWinUser, {"-T", local("empty.bin").string(), url("/NC/EMPTY.BIN")});
    ASSERT_EQ(put.exit_status, 0) << put.describe();
    ASSERT_TRUE(fs::exists(files() / "NC" / "EMPTY.BIN"));
    EXPECT_EQ(fs::file_size(files() / "NC" / "EMPTY.BIN"), 0u);
    // A second upload replaces the file as a whole.
    write_file(local("short.bin"), "short");
    put = curl(kUnixUser, {"-T", local("short.bin").string(), url("/UP.BIN")});
    ASSERT_EQ(put.exit_status, 0) << put.describe();
    EXPECT_EQ(read_file(files() / "UP.BIN"), "short");
    expect_mode_was_used();
}

TEST_P(Curl, ResumesAPartialDownload) {
    const std::string content = pattern_bytes(70001, 3);
    write_file(files() / "PROGRAM.NC", content);
    for (std::size_t have : {std::size_t{1}, std::size_t{12345}, content.size() - 1}) {
        write_file(local("program.nc"), content.substr(0, have));
        const ClientResult resume =
            curl(kUnixUser, {"-C", "-", "-o", local("program.nc").string(), url("/PROGRAM.NC")});
        ASSERT_EQ(resume.exit_status, 0) << resume.describe();
        EXPECT_EQ(read_file(local("program.nc")), content) << "resumed after " << have;
    }
    const std::string log = read_file(folder_.log());
    EXPECT_NE(log.find("C->S: REST 12345"), std::string::npos);
    expect_mode_was_used();
}

TEST_P(Curl, AppendsToExistingAndNewFiles) {
    write_file(files() / "LOG.TXT", "first line\r\n");
    write_file(local("more.txt"), "second line\r\n");
    write_file(local("block.bin"), pattern_bytes(5000, 4));
    ClientResult append =
        curl(kUnixUser, {"--append", "-T", local("more.txt").string(), url("/LOG.TXT")});
    ASSERT_EQ(append.exit_status, 0) << append.describe();
    append = curl(kUnixUser, {"--append", "-T", local("block.bin").string(), url("/LOG.TXT")});
    ASSERT_EQ(append.exit_status, 0) << append.describe();
    EXPECT_EQ(read_file(files() / "LOG.TXT"),
              "first line\r\nsecond line\r\n" + pattern_bytes(5000, 4));
    append = curl(kWinUser, {"--append", "-T", local("more.txt").string(), url("/NEW.TXT")});
    ASSERT_EQ(append.exit_status, 0) << append.describe();
    EXPECT_EQ(read_file(files() / "NEW.TXT"), "second line\r\n");
    expect_mode_was_used();
}

TEST_P(Curl, CreatesMissingFoldersForAnUpload) {
    fs::create_directories(files() / "NC");
    write_file(local("part.nc"), pattern_bytes(4096, 5));
    ClientResult put = curl(kUnixUser, {"--ftp-create-dirs", "-T", local("part.nc").string(),
                                        url("/NEW/DEEPER/PART.NC")});
    ASSERT_EQ(put.exit_status, 0) << put.describe();
    EXPECT_EQ(read_file(files() / "NEW" / "DEEPER" / "PART.NC"), pattern_bytes(4096, 5));
    put = curl(kWinUser,
               {"--ftp-create-dirs", "-T", local("part.nc").string(), url("/NC/MILL%202/PART.NC")});
    ASSERT_EQ(put.exit_status, 0) << put.describe();
    EXPECT_EQ(read_file(files() / "NC" / "MILL 2" / "PART.NC"), pattern_bytes(4096, 5));
    expect_mode_was_used();
}

TEST_P(Curl, QuotedCommandsDeleteAndRename) {
    write_file(files() / "OLD.NC", "old");
    write_file(files() / "A.NC", pattern_bytes(3000, 6));
    write_file(files() / "KEEP.NC", "keep");
    fs::create_directories(files() / "NC");
    ClientResult quote = curl(kUnixUser, {"-Q", "DELE OLD.NC", "-o", "/dev/null", url("/")});
    ASSERT_EQ(quote.exit_status, 0) << quote.describe();
    EXPECT_FALSE(fs::exists(files() / "OLD.NC"));
    quote = curl(kUnixUser, {"-Q", "RNFR A.NC", "-Q", "RNTO NC/B.NC", "-o", "/dev/null", url("/")});
    ASSERT_EQ(quote.exit_status, 0) << quote.describe();
    EXPECT_FALSE(fs::exists(files() / "A.NC"));
    EXPECT_EQ(read_file(files() / "NC" / "B.NC"), pattern_bytes(3000, 6));
    // Fetch and remove: the DELE after the transfer.
    quote = curl(kUnixUser, {"-Q", "-DELE B.NC", "-o", local("b.nc").string(), url("/NC/B.NC")});
    ASSERT_EQ(quote.exit_status, 0) << quote.describe();
    EXPECT_EQ(read_file(local("b.nc")), pattern_bytes(3000, 6));
    EXPECT_FALSE(fs::exists(files() / "NC" / "B.NC"));
    // A refused command fails the run.
    quote = curl(kUnixUser, {"-Q", "DELE MISSING.NC", "-o", "/dev/null", url("/")});
    EXPECT_EQ(quote.exit_status, 21) << quote.describe();  // CURLE_QUOTE_ERROR
    EXPECT_NE(quote.err.find("550"), std::string::npos) << quote.describe();
    EXPECT_EQ(read_file(files() / "KEEP.NC"), "keep");
    expect_mode_was_used();
}

TEST_P(Curl, ConfinedAccountCannotReachOutsideItsFolder) {
    write_file(files() / "SECRET.NC", "secret");
    write_file(jail() / "INSIDE.NC", pattern_bytes(2000, 7));
    write_file(local("plant.nc"), "planted");
    const std::string outside = "/%2F" + files().string().substr(1) + "/SECRET.NC";
    const std::string denied = "521 Access denied.";

    // CURLE_REMOTE_ACCESS_DENIED: the CWD into the parent is refused.
    refused(kConfinedUser, {"--path-as-is", "-o", local("a").string(), url("/../SECRET.NC")},
            denied, 9);
    refused(kConfinedUser, {"--ftp-method", "nocwd", "-o", local("b").string(), url(outside)},
            denied, 19);  // CURLE_FTP_COULDNT_RETR_FILE
    refused(kConfinedUser,
            {"--ftp-method", "nocwd", "--path-as-is", "-T", local("plant.nc").string(),
             url("/../PLANT.NC")},
            denied, 25);  // CURLE_UPLOAD_FAILED
    refused(kConfinedUser, {"-Q", "DELE ../SECRET.NC", "-o", "/dev/null", url("/")}, denied,
            21);  // CURLE_QUOTE_ERROR
    refused(kConfinedUser,
            {"-Q", "RNFR INSIDE.NC", "-Q", "RNTO ../MOVED.NC", "-o", "/dev/null", url("/")}, denied,
            21);

    EXPECT_FALSE(fs::exists(local("a")) && !read_file(local("a")).empty());
    EXPECT_FALSE(fs::exists(local("b")) && !read_file(local("b")).empty());
    EXPECT_FALSE(fs::exists(files() / "PLANT.NC"));
    EXPECT_FALSE(fs::exists(files() / "MOVED.NC"));
    EXPECT_EQ(read_file(files() / "SECRET.NC"), "secret");
    // Inside its folder the account works as usual.
    ClientResult r = curl(kConfinedUser, {"-o", local("inside.nc").string(), url("/INSIDE.NC")});
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(read_file(local("inside.nc")), pattern_bytes(2000, 7));
    r = curl(kConfinedUser, {"-T", local("plant.nc").string(), url("/PLANT.NC")});
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(read_file(jail() / "PLANT.NC"), "planted");
    expect_mode_was_used();
}

TEST_P(Curl, ReadOnlyAccountCannotChangeAnything) {
    write_file(files() / "A.NC", pattern_bytes(1500, 8));
    write_file(local("up.nc"), "new content");
    const std::string denied = "530 User access denied.";
    refused(kReadOnlyUser, {"-T", local("up.nc").string(), url("/UP.NC")}, denied, 25);
    refused(kReadOnlyUser, {"--append", "-T", local("up.nc").string(), url("/A.NC")}, denied, 25);
    refused(kReadOnlyUser, {"-Q", "DELE A.NC", "-o", "/dev/null", url("/")}, denied, 21);
    refused(kReadOnlyUser, {"-Q", "RNFR A.NC", "-Q", "RNTO B.NC", "-o", "/dev/null", url("/")},
            denied, 21);
    refused(kReadOnlyUser,
            {"--ftp-create-dirs", "-T", local("up.nc").string(), url("/NEWDIR/UP.NC")}, denied,
            9);  // the MKD is refused

    EXPECT_FALSE(fs::exists(files() / "UP.NC"));
    EXPECT_FALSE(fs::exists(files() / "B.NC"));
    EXPECT_FALSE(fs::exists(files() / "NEWDIR"));
    EXPECT_EQ(read_file(files() / "A.NC"), pattern_bytes(1500, 8));
    // Reading is allowed.
    const ClientResult r = curl(kReadOnlyUser, {"-o", local("a.nc").string(), url("/A.NC")});
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(read_file(local("a.nc")), pattern_bytes(1500, 8));
    expect_mode_was_used();
}

INSTANTIATE_TEST_SUITE_P(Interop, Curl,
                         ::testing::Values(kPassive, kPassiveClassic, kActive, kActiveClassic,
                                           kIpv6Passive, kIpv6Active),
                         [](const auto& p) { return std::string(p.param.name); });
