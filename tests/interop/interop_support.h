#pragma once
// Running real FTP clients (curl, lftp, Python's ftplib, rclone) against a kftpd from a temporary
// program folder, and comparing what they moved with the files on disk.

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "test_server.h"

namespace kesto::interop {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// What a client process left behind.
struct ClientResult {
    int exit_status = -1;  // 128 + signal when killed
    bool timed_out = false;
    std::string out;
    std::string err;
    // The command, its status and both outputs, for failure messages.
    std::string describe() const;
    std::string command_line;
};

// The absolute path of `name` found on PATH, or empty (and a test failure) when it is missing.
std::string find_program(const std::string& name);

// Runs `argv` (argv[0] a program name looked up on PATH) under coreutils `timeout`, in
// `working_folder`, with TZ=UTC, LC_ALL=C, HOME=`working_folder`, no proxy variables and
// standard input on /dev/null. The child is killed (by its PID) when it outlives `limit`
// by a few seconds.
ClientResult run_client(const std::vector<std::string>& argv, const fs::path& working_folder,
                        std::chrono::seconds limit = 30s);

// Lines of `text`, without their CR LF or LF.
std::vector<std::string> lines_of(const std::string& text);

// The entries of a UNIX or WINNT4 listing: name -> size, -1 for a folder; a line in neither
// form is returned as "unparsed: <line>" -> -2.
std::map<std::string, long long> listing_entries(const std::string& text);

// Sets the last-write time of `path` (seconds since the epoch).
void set_mtime(const fs::path& path, std::time_t when);
// The time of a UTC calendar date.
std::time_t utc_time(int year, int month, int day, int hour, int minute, int second = 0);
// Clears the owner-write bit: the file's read-only attribute.
void make_read_only(const fs::path& path);

// Deterministic binary content of `size` bytes.
std::string pattern_bytes(std::size_t size, unsigned seed);

// Fills `root` with `file_count` files in a few nested folders (names upper case, some with
// blanks), sizes from 0 to a few hundred KiB, binary content, and one empty folder.
void make_tree(const fs::path& root, int file_count, unsigned seed);

// The differences between two trees (missing or extra entries, kinds, file contents); empty
// when they hold the same folders and byte-identical files.
std::string compare_trees(const fs::path& expected, const fs::path& actual);

// The account names of the fixture: listing types, confinement and read-only access.
inline constexpr const char* kUnixUser = "UNIXUSER";
inline constexpr const char* kWinUser = "WINUSER";
inline constexpr const char* kUnknownUser = "SHORTUSER";
inline constexpr const char* kOkumaUser = "OKUMAUSER";
inline constexpr const char* kConfinedUser = "JAILED";
inline constexpr const char* kReadOnlyUser = "VIEWER";
inline constexpr const char* kDesktopUser = "DESKUSER";  // DESKTOP = Yes, confined to desk()
inline constexpr const char* kPassword = "Secret7";
// The name a client logs in with: the account's name in lower case (the server upper-cases
// every command line, so the section is found all the same).
std::string login_name(const std::string& account);

// A kftpd with one account of each kind, all on `files()` except the confined ones: one
// locked into `jail()` (a folder below `files()`), and one for desktop clients locked
// into `desk()` (beside `files()`). Clients run in `client_folder()`.
class InteropTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    int port() const { return server_->port(); }
    const fs::path& files() const { return files_; }
    const fs::path& jail() const { return jail_; }
    const fs::path& desk() const { return desk_; }
    const fs::path& client_folder() const { return client_; }
    std::string url(const std::string& path = "/") const;
    std::string url6(const std::string& path = "/") const;  // the same server over IPv6
    // How often the server's trace shows the reply `reply` ("S->C: <reply>").
    std::size_t replies_logged(const std::string& reply) const;
    // Waits (bounded) until the trace shows `reply` more than `count` times: the server
    // writes a reply's trace line just after sending it, so the trace may lag the client.
    bool reply_logged_after(const std::string& reply, std::size_t count) const;
    // The data connections so far were all passive (PASV) or all active (PORT to 127.0.0.1).
    void expect_data_connections(bool passive) const;
    // Every data connection so far was made by `command` (PASV, EPSV, PORT or EPRT).
    void expect_data_connections(const std::string& command) const;

    test::ProgramFolder folder_;
    fs::path files_;
    fs::path jail_;
    fs::path desk_;
    fs::path client_;
    std::unique_ptr<test::ServerUnderTest> server_;
};

}  // namespace kesto::interop
