// Listing and time edges: what a confined account may learn about things outside its
// root, what an account tells before its password matched, file times past the year
// 9999, restart offsets near 2^63, and listings cut off by the client.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/net.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::UniqueFd;

namespace {

// The line of a listing that ends with `name`.
std::string line_of(const std::string& listing, const std::string& name) {
    std::size_t end = listing.find(" " + name + "\r\n");
    if (end == std::string::npos) return "";
    const std::size_t start = listing.rfind('\n', end);
    return listing.substr(start == std::string::npos ? 0 : start + 1,
                          end + name.size() + 1 - (start == std::string::npos ? 0 : start + 1));
}

class ListingAndTimeEdges : public ::testing::Test {
  protected:
    void start(const fs::path& root) {
        root_ = root;
        fs::create_directories(root_);
        write_file(root_ / "A.NC", "abc");
        write_file(folder_.accounts(),
                   "[USERU]\r\nNAME=u\r\nPASS=pw\r\nROOT=yes\r\nPATH=" + root_.string() +
                       "\r\n[USERRO]\r\nNAME=ro\r\nPASS=pw\r\nREADONLY=Yes\r\nPATH=" +
                       root_.string() + "\r\n");
        server_ = std::make_unique<ServerUnderTest>(folder_, "FATAL");
        ASSERT_TRUE(server_->ready());
        c_ = std::make_unique<FtpConnection>(server_->port());
        c_->reply();
    }
    std::string passive_listing(const std::string& command, std::string* last = nullptr) {
        UniqueFd data = open_passive(*c_);
        EXPECT_EQ(c_->command(command).substr(0, 3), "150");
        const std::string listing = read_all(data.get());
        const std::string end = c_->reply();
        if (last) *last = end;
        return listing;
    }

    ProgramFolder folder_;
    fs::path root_;
    std::unique_ptr<ServerUnderTest> server_;
    std::unique_ptr<FtpConnection> c_;
};

}  // namespace

TEST_F(ListingAndTimeEdges, NothingOfTheOutsideShowsInAConfinedListing) {
    const fs::path files = fs::canonical(folder_.path()) / "files";
    fs::create_directories(files / "outside");
    write_file(files / "outside" / "SHADOW.SRC", std::string(12345, 's'));
    start(files / "root");
    fs::create_symlink(files / "outside" / "SHADOW.SRC", root_ / "SHADOW");
    fs::create_directories(root_ / "SUB");
    fs::create_symlink(root_ / "SUB", root_ / "INSIDE");
    set_mtime(root_, 1'600'000'000);  // 2020
    set_mtime(files, 1'000'000'000);  // 2001: the folder above the root
    ASSERT_TRUE(c_->login("U", "pw"));
    const std::string listing = passive_listing("LIST -a");
    // A link out of the root shows its own data, one inside its target's.
    const std::string shadow = line_of(listing, "SHADOW");
    ASSERT_FALSE(shadow.empty()) << listing;
    EXPECT_EQ(shadow.find("12345"), std::string::npos) << shadow;
    EXPECT_EQ(line_of(listing, "INSIDE").substr(0, 1), "d") << listing;
    // The root's ".." is the root itself.
    const std::string dot = line_of(listing, ".");
    const std::string dot_dot = line_of(listing, "..");
    ASSERT_FALSE(dot_dot.empty()) << listing;
    EXPECT_EQ(dot_dot.substr(0, dot_dot.size() - 3), dot.substr(0, dot.size() - 2)) << listing;
}

TEST_F(ListingAndTimeEdges, AccountFlagsAreTakenOnlyOnceThePasswordMatched) {
    start(fs::canonical(folder_.path()) / "files");
    EXPECT_EQ(c_->command("USER ro").substr(0, 3), "331");
    EXPECT_EQ(c_->command("PASS wrong").substr(0, 3), "421");
    EXPECT_EQ(c_->command("DELE A.NC"), "530 Not logged in.\r\n");
    EXPECT_EQ(c_->command("USER ro").substr(0, 3), "331");
    EXPECT_EQ(c_->command("PASS pw").substr(0, 3), "230");
    EXPECT_EQ(c_->command("DELE A.NC"), "530 User access denied.\r\n");
}

TEST_F(ListingAndTimeEdges, TimesPastTheYear9999) {
    // tmpfs keeps 64-bit file times; most disk file systems stop at 2446.
    if (!fs::is_directory("/dev/shm")) GTEST_SKIP() << "no tmpfs at /dev/shm";
    char tmpl[] = "/dev/shm/kesto-times-XXXXXX";
    ASSERT_NE(::mkdtemp(tmpl), nullptr);
    start(tmpl);
    write_file(root_ / "FAR.NC", "f");
    write_file(root_ / "Y10K.NC", "y");
    set_mtime(root_ / "FAR.NC", 67'768'036'191'676'799 - 400 * 86'400);  // tm_year near INT_MAX
    set_mtime(root_ / "Y10K.NC", 253'402'300'800 + 86'400);              // 10000-01-02
    ASSERT_TRUE(c_->login("U", "pw"));
    EXPECT_EQ(c_->command("MDTM FAR.NC"), "550 Requested action not taken.\r\n");
    EXPECT_EQ(c_->command("MDTM Y10K.NC"), "550 Requested action not taken.\r\n");
    EXPECT_EQ(c_->command("MDTM A.NC").substr(0, 4), "213 ");
    std::string last;
    (void)passive_listing("LIST", &last);
    EXPECT_EQ(last, "226 Transfer complete.\r\n");
    fs::remove_all(root_);
}

TEST_F(ListingAndTimeEdges, RestartOffsetsAtOrPastTheEndSendNothing) {
    start(fs::canonical(folder_.path()) / "files");
    ASSERT_TRUE(c_->login("U", "pw"));
    for (const char* offset : {"3", "4", "9223372036854775806", "9223372036854775807"}) {
        EXPECT_EQ(c_->command(std::string("REST ") + offset).substr(0, 3), "350") << offset;
        UniqueFd data = open_passive(*c_);
        EXPECT_EQ(c_->command("RETR A.NC").substr(0, 3), "150") << offset;
        EXPECT_EQ(read_all(data.get()), "") << offset;
        EXPECT_EQ(c_->reply(), "226 Transfer complete.\r\n") << offset;
    }
}

TEST_F(ListingAndTimeEdges, AListingCutOffByTheClientIsNotReportedComplete) {
    start(fs::canonical(folder_.path()) / "files");
    ASSERT_TRUE(c_->login("U", "pw"));
    UniqueFd data = open_passive(*c_);
    const linger reset{1, 0};
    ::setsockopt(data.get(), SOL_SOCKET, SO_LINGER, &reset, sizeof reset);
    data.reset();  // gone before the first byte of the listing
    EXPECT_EQ(c_->command("LIST").substr(0, 3), "150");
    EXPECT_EQ(c_->reply(), "426 Connection closed; transfer aborted.\r\n");
    EXPECT_EQ(c_->command("NOOP").substr(0, 3), "200");
}
