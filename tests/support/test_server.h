#pragma once
// Starts the installed kftpd from a temporary program folder on a free loopback port,
// and talks FTP to it line by line. Every wait has a deadline.

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/net.h"
#include "platform/unique_fd.h"

namespace kesto::test {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

// Waits until `condition` holds or the deadline passes; true when it held.
template <typename Condition>
bool wait_until(Condition condition, std::chrono::milliseconds limit = 10s) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        struct timespec pause {
            0, 5'000'000
        };
        ::nanosleep(&pause, nullptr);
    }
    return true;
}

std::string read_file(const fs::path& path);
// Open descriptors and threads of a process, from /proc.
int open_descriptors(pid_t pid);
int thread_count(pid_t pid);
void write_file(const fs::path& path, const std::string& content);
// Sets the entry's modification time (a link itself, not what it names).
void set_mtime(const fs::path& path, std::int64_t seconds);
int free_port();

// A copy of the installed program folder in a temporary directory.
class ProgramFolder {
  public:
    ProgramFolder();
    ~ProgramFolder();
    ProgramFolder(const ProgramFolder&) = delete;
    ProgramFolder& operator=(const ProgramFolder&) = delete;

    const fs::path& path() const { return path_; }
    fs::path kftpd() const { return path_ / "kftpd"; }
    fs::path config() const { return path_ / "KestoFTP.ini"; }
    fs::path accounts() const { return path_ / "cfg" / "KestoFTP.ini"; }
    fs::path log() const { return path_ / "KFTPD.LOG"; }

    // Writes the GLOBAL section: loopback address, `port`, log file in this folder, and
    // failed logins answered at once (LOGIN_FAIL_DELAY=0); a key in `extra`, written
    // after them, overrides them.
    void write_config(int port, const std::string& log_level = "EXTREME",
                      const std::string& extra = "") const;

  private:
    fs::path path_;
};

struct RunResult {
    int exit_status = -1;
    std::string stderr_text;
};

// Runs kftpd with `args` to its end (bounded).
RunResult run_kftpd(const ProgramFolder& folder, const std::vector<std::string>& args);

// A kftpd serving in the background; stopped with SIGTERM and reaped on destruction.
class ServerUnderTest {
  public:
    // Writes a configuration with a free port (retried while the port is taken) and
    // starts the server; `ready()` tells whether it answers.
    // `file_size_limit` (bytes, 0: none) is set as the server's RLIMIT_FSIZE.
    explicit ServerUnderTest(const ProgramFolder& folder, const std::string& log_level = "EXTREME",
                             const std::string& extra_config = "", long file_size_limit = 0);
    ~ServerUnderTest();

    int port() const { return port_; }
    pid_t pid() const { return pid_; }
    bool ready() const { return ready_; }
    // Waits for the process to end by itself; its exit status, or nothing.
    std::optional<int> wait_exit(std::chrono::milliseconds limit = 10s);
    bool running() const;

  private:
    void start(const std::vector<std::string>& args);
    const ProgramFolder& folder_;
    long file_size_limit_ = 0;
    int port_ = 0;
    pid_t pid_ = -1;
    bool ready_ = false;
    std::optional<int> exit_status_;
};

// A raw control connection.
class FtpConnection {
  public:
    explicit FtpConnection(int port);
    FtpConnection(const platform::IpAddress& host, int port);  // over IPv6 with ::1
    // From another loopback address (such as 127.0.0.2) to 127.0.0.1.
    FtpConnection(int port, const std::string& source_address);
    bool connected() const { return static_cast<bool>(fd_); }
    int fd() const { return fd_.get(); }

    void send_raw(const std::string& bytes);
    // One reply, all its lines ("220- ...\r\n220 ...\r\n"); empty on close or timeout.
    std::string reply(std::chrono::milliseconds limit = 10s);
    // Sends "line\r\n" and returns the reply.
    std::string command(const std::string& line);
    // True when the server has closed the connection (reads nothing more).
    bool closed_by_server(std::chrono::milliseconds limit = 10s);
    bool login(const std::string& user, const std::string& password);

  private:
    std::string read_line(std::chrono::steady_clock::time_point deadline);
    platform::UniqueFd fd_;
    std::string buffer_;
};

}  // namespace kesto::test

namespace kesto::test {

// A control connection to `port` past the greeting, logged in as `user` (a failed
// login is reported as a test failure).
std::unique_ptr<FtpConnection> logged_in(int port, const std::string& user,
                                         const std::string& password);

// The port of a "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)." reply, or 0.
int passive_port(const std::string& reply);

// Reads everything the peer sends until it closes (bounded).
std::string read_all(int fd, std::chrono::milliseconds limit = 20s);

// The IPv6 loopback address.
platform::IpAddress loopback6();

// The port of a "229 Entering Extended Passive Mode (|||port|)" reply, or 0.
int extended_passive_port(const std::string& reply);

// EPSV, then a data connection to `host` at the port it names; invalid when EPSV failed.
platform::UniqueFd open_extended_passive(FtpConnection& control, const platform::IpAddress& host);

// PASV, then a data connection to the port it names; invalid when PASV failed.
platform::UniqueFd open_passive(FtpConnection& control);

// A listening socket on 127.0.0.1 for active transfers; `port_command` is its PORT line.
struct ActiveListener {
    ActiveListener();
    explicit ActiveListener(const platform::IpAddress& host);  // 127.0.0.1 or ::1
    platform::UniqueFd accept(std::chrono::milliseconds limit = 10s);
    std::string port_command() const;
    std::string eprt_command() const;  // "EPRT |1|127.0.0.1|port|" or "|2|::1|port|"
    platform::IpAddress host;
    platform::UniqueFd socket;
    int port = 0;
};

}  // namespace kesto::test
