// Sessions over IPv6 (the server listens on ::1 as well): Python's ftplib, which speaks
// EPSV and EPRT on an IPv6 connection by itself, and lftp, in passive and active mode.
#include "interop_support.h"

using namespace kesto::interop;
using kesto::test::read_file;
using kesto::test::write_file;

namespace {

// Uploads UP.BIN from `data`, fetches it back, lists the folder and prints what it got.
constexpr const char* kFtplibSession = R"(
import ftplib, io, sys
port, user, password, active = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4] == "1"
data = bytes(range(256)) * 400
ftp = ftplib.FTP()
ftp.connect("::1", port, timeout=10)
ftp.login(user, password)
ftp.set_pasv(not active)
ftp.storbinary("STOR UP.BIN", io.BytesIO(data))
got = io.BytesIO()
ftp.retrbinary("RETR UP.BIN", got.write)
assert got.getvalue() == data, "the file came back changed"
print(",".join(sorted(ftp.nlst())))
ftp.quit()
)";

class Ipv6 : public InteropTest, public ::testing::WithParamInterface<bool> {};

}  // namespace

TEST_P(Ipv6, FtplibStoresFetchesAndLists) {
    const bool active = GetParam();
    write_file(files() / "A.NC", "x");
    const ClientResult r = run_client({"python3", "-c", kFtplibSession, std::to_string(port()),
                                       login_name(kUnixUser), kPassword, active ? "1" : "0"},
                                      client_folder(), 30s);
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(r.out, "A.NC,UP.BIN\n");  // NLST names files only
    expect_data_connections(std::string(active ? "EPRT" : "EPSV"));
    EXPECT_NE(read_file(folder_.log()).find("(::1) C->S: STOR UP.BIN"), std::string::npos);
}

TEST_P(Ipv6, LftpFetchesAndLists) {
    const bool active = GetParam();
    write_file(files() / "PART1.NC", pattern_bytes(70001, 4));
    const std::string script =
        std::string(
            "set net:max-retries 1; set net:timeout 10; set cmd:fail-exit yes; "
            "set ftp:passive-mode ") +
        (active ? "off" : "on") + "; open -u " + login_name(kUnixUser) + "," + kPassword + " " +
        url6("/") + "; get PART1.NC; cls -1";
    const ClientResult r = run_client({"lftp", "-c", script}, client_folder(), 30s);
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(read_file(client_folder() / "PART1.NC"), pattern_bytes(70001, 4));
    EXPECT_EQ(lines_of(r.out), (std::vector<std::string>{"JAIL/", "PART1.NC"}));
    expect_data_connections(std::string(active ? "EPRT" : "EPSV"));
}

INSTANTIATE_TEST_SUITE_P(Interop, Ipv6, ::testing::Values(false, true),
                         [](const auto& p) { return std::string(p.param ? "Active" : "Passive"); });
