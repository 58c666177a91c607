#include "test_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>

#include "platform/net.h"

namespace kesto::test {

namespace {

constexpr int kStartAttempts = 5;

// argv for execv; the strings must outlive the call.
std::vector<char*> make_argv(const std::string& program, const std::vector<std::string>& args) {
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    return argv;
}

pid_t spawn(const std::string& program, const std::vector<std::string>& args, int stderr_fd,
            const fs::path& working_folder, long file_size_limit = 0) {
    auto argv = make_argv(program, args);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(stderr_fd, 2);
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        if (::chdir(working_folder.c_str()) != 0) ::_exit(126);
        // The server blocks its stop signals itself; start it with a clean mask.
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        if (file_size_limit > 0) {
            const rlimit limit{static_cast<rlim_t>(file_size_limit),
                               static_cast<rlim_t>(file_size_limit)};
            ::setrlimit(RLIMIT_FSIZE, &limit);
        }
        ::execv(program.c_str(), argv.data());
        ::_exit(127);
    }
    return pid;
}

std::optional<int> wait_for(pid_t pid, std::chrono::milliseconds limit) {
    std::optional<int> status;
    wait_until(
        [&] {
            int raw = 0;
            if (::waitpid(pid, &raw, WNOHANG) != pid) return false;
            status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
            return true;
        },
        limit);
    return status;
}

bool port_is_listening(int port) {
    std::ifstream in("/proc/net/tcp");
    std::string line;
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == wanted)
            return true;
    }
    return false;
}

}  // namespace

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

void write_file(const fs::path& path, const std::string& content) {
    std::ofstream(path, std::ios::binary) << content;
}

void set_mtime(const fs::path& path, std::int64_t seconds) {
    const timespec times[2] = {{static_cast<time_t>(seconds), 0},
                               {static_cast<time_t>(seconds), 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0) << path;
}

int open_descriptors(pid_t pid) {
    std::error_code ignored;
    int n = 0;
    for (auto it = fs::directory_iterator("/proc/" + std::to_string(pid) + "/fd", ignored);
         it != fs::directory_iterator(); ++it) {
        ++n;
    }
    return n;
}

int thread_count(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("Threads:", 0) == 0) return std::stoi(line.substr(8));
    }
    return -1;
}

int free_port() {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa);
    socklen_t len = sizeof sa;
    ::getsockname(fd.get(), reinterpret_cast<sockaddr*>(&sa), &len);
    return ntohs(sa.sin_port);
}

ProgramFolder::ProgramFolder() {
    char tmpl[] = "/tmp/kesto-test-XXXXXX";
    if (::mkdtemp(tmpl) == nullptr) std::abort();
    path_ = tmpl;
    fs::create_directory(path_ / "cfg");
    fs::copy_file(fs::path(KESTO_STAGE_DIR) / "kftpd", kftpd());
}

ProgramFolder::~ProgramFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void ProgramFolder::write_config(int port, const std::string& log_level,
                                 const std::string& extra) const {
    write_file(config(),
               "[GLOBAL]\r\nSYSTEM_ADDRESS\t= 127.0.0.1\r\nSYSTEM_PORT\t= " + std::to_string(port) +
                   "\r\nLOG_LEVEL\t= " + log_level + "\r\nLOG_FILENAME\t= " + log().string() +
                   "\r\nLOGIN_FAIL_DELAY\t= 0\r\n" + extra);
}

RunResult run_kftpd(const ProgramFolder& folder, const std::vector<std::string>& args) {
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) return {};
    platform::UniqueFd read_end(pipe_fds[0]);
    const pid_t pid = spawn(folder.kftpd().string(), args, pipe_fds[1], folder.path());
    ::close(pipe_fds[1]);
    RunResult result;
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    char buf[512];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        pollfd p{read_end.get(), POLLIN, 0};
        if (left.count() <= 0 || ::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        const ssize_t n = ::read(read_end.get(), buf, sizeof buf);
        if (n <= 0) break;
        result.stderr_text.append(buf, static_cast<std::size_t>(n));
    }
    auto status = wait_for(pid, 10s);
    if (!status) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, nullptr, 0);
    }
    result.exit_status = status.value_or(-1);
    return result;
}

ServerUnderTest::ServerUnderTest(const ProgramFolder& folder, const std::string& log_level,
                                 const std::string& extra_config, long file_size_limit)
    : folder_(folder), file_size_limit_(file_size_limit) {
    for (int attempt = 0; attempt < kStartAttempts && !ready_; ++attempt) {
        port_ = free_port();
        folder.write_config(port_, log_level, extra_config);
        start({folder.config().string()});
        ready_ = wait_until([&] { return port_is_listening(port_) || !running(); });
        ready_ = ready_ && running();
        if (!ready_ && !running()) {
            // Another process took the port between our probe and the server's bind.
            const std::string err = read_file(folder.path() / "stderr.txt");
            if (err.find("Error starting the service") == std::string::npos) break;
        }
    }
}

ServerUnderTest::~ServerUnderTest() {
    if (running()) {
        ::kill(pid_, SIGTERM);
        if (!wait_exit(10s)) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
    }
}

void ServerUnderTest::start(const std::vector<std::string>& args) {
    platform::UniqueFd err(::open((folder_.path() / "stderr.txt").c_str(),
                                  O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    exit_status_.reset();
    pid_ = spawn(folder_.kftpd().string(), args, err.get(), folder_.path(), file_size_limit_);
}

std::optional<int> ServerUnderTest::wait_exit(std::chrono::milliseconds limit) {
    if (!exit_status_ && pid_ > 0) exit_status_ = wait_for(pid_, limit);
    return exit_status_;
}

bool ServerUnderTest::running() const {
    if (exit_status_ || pid_ <= 0) return false;
    int raw = 0;
    const pid_t r = ::waitpid(pid_, &raw, WNOHANG);
    if (r == pid_) {
        const_cast<ServerUnderTest*>(this)->exit_status_ =
            WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
        return false;
    }
    return r == 0;
}

FtpConnection::FtpConnection(int port)
    : FtpConnection(platform::Ipv4Address{{127, 0, 0, 1}}, port) {}

FtpConnection::FtpConnection(const platform::IpAddress& host, int port) {
    (void)platform::connect_tcp({host, static_cast<std::uint16_t>(port)}, 5000, fd_);
}

FtpConnection::FtpConnection(int port, const std::string& source_address) {
    platform::UniqueFd fd(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    if (::inet_pton(AF_INET, source_address.c_str(), &sa.sin_addr) != 1 ||
        ::bind(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0) {
        return;
    }
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    sa.sin_port = htons(static_cast<std::uint16_t>(port));
    if (::connect(fd.get(), reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0) fd_ = std::move(fd);
}

void FtpConnection::send_raw(const std::string& bytes) {
    (void)platform::send_all(fd_.get(), bytes.data(), bytes.size());
}

std::string FtpConnection::read_line(std::chrono::steady_clock::time_point deadline) {
    for (;;) {
        const auto lf = buffer_.find('\n');
        if (lf != std::string::npos) {
            std::string line = buffer_.substr(0, lf + 1);
            buffer_.erase(0, lf + 1);
            return line;
        }
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return {};
        if (platform::wait_readable(fd_.get(), static_cast<int>(left.count())) !=
            platform::WaitResult::ready) {
            return {};
        }
        char buf[4096];
        const long n = platform::receive_some(fd_.get(), buf, sizeof buf);
        if (n <= 0) return {};
        buffer_.append(buf, static_cast<std::size_t>(n));
    }
}

std::string FtpConnection::reply(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string first = read_line(deadline);
    if (first.size() < 4 || first[3] != '-') return first;
    std::string all = first;
    const std::string last_prefix = first.substr(0, 3) + " ";
    for (;;) {
        const std::string line = read_line(deadline);
        if (line.empty()) return all;
        all += line;
        if (line.rfind(last_prefix, 0) == 0) return all;
    }
}

std::string FtpConnection::command(const std::string& line) {
    send_raw(line + "\r\n");
    return reply();
}

bool FtpConnection::closed_by_server(std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return false;
        if (platform::wait_readable(fd_.get(), static_cast<int>(left.count())) !=
            platform::WaitResult::ready) {
            return false;
        }
        char buf[4096];
        const long n = platform::receive_some(fd_.get(), buf, sizeof buf);
        if (n <= 0) return true;
        buffer_.append(buf, static_cast<std::size_t>(n));
    }
}

bool FtpConnection::login(const std::string& user, const std::string& password) {
    if (command("USER " + user).rfind("331", 0) != 0) return false;
    return command("PASS " + password).rfind("230", 0) == 0;
}

std::unique_ptr<FtpConnection> logged_in(int port, const std::string& user,
                                         const std::string& password) {
    auto c = std::make_unique<FtpConnection>(port);
    c->reply();
    EXPECT_TRUE(c->login(user, password)) << user;
    return c;
}

}  // namespace kesto::test

namespace kesto::test {

int passive_port(const std::string& reply) {
    int h1, h2, h3, h4, p1, p2;
    const auto open = reply.find('(');
    if (reply.rfind("227 ", 0) != 0 || open == std::string::npos) return 0;
    if (std::sscanf(reply.c_str() + open, "(%d,%d,%d,%d,%d,%d)", &h1, &h2, &h3, &h4, &p1, &p2) !=
        6) {
        return 0;
    }
    return p1 * 256 + p2;
}

std::string read_all(int fd, std::chrono::milliseconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::string data;
    char buf[65536];
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || platform::wait_readable(fd, static_cast<int>(left.count())) !=
                                     platform::WaitResult::ready) {
            return data;
        }
        const long n = platform::receive_some(fd, buf, sizeof buf);
        if (n <= 0) return data;
        data.append(buf, static_cast<std::size_t>(n));
    }
}

platform::UniqueFd open_passive(FtpConnection& control) {
    platform::UniqueFd data;
    const int port = passive_port(control.command("PASV"));
    if (port == 0) return data;
    platform::Endpoint remote{{{127, 0, 0, 1}}, static_cast<std::uint16_t>(port)};
    (void)platform::connect_tcp(remote, 5000, data);
    return data;
}

ActiveListener::ActiveListener() : ActiveListener(platform::Ipv4Address{{127, 0, 0, 1}}) {}

ActiveListener::ActiveListener(const platform::IpAddress& on) : host(on) {
    int error = 0;
    if (platform::listen_tcp({host, 0}, 4, socket, error) != platform::ListenStage::ok) return;
    sockaddr_storage sa{};
    socklen_t len = sizeof sa;
    ::getsockname(socket.get(), reinterpret_cast<sockaddr*>(&sa), &len);
    port = ntohs(sa.ss_family == AF_INET6 ? reinterpret_cast<sockaddr_in6&>(sa).sin6_port
                                          : reinterpret_cast<sockaddr_in&>(sa).sin_port);
}

std::string ActiveListener::eprt_command() const {
    return std::string("EPRT |") + (host.v6 ? "2" : "1") + "|" + platform::to_text(host) + "|" +
           std::to_string(port) + "|";
}

platform::IpAddress loopback6() {
    std::uint8_t bytes[16] = {};
    bytes[15] = 1;
    return platform::IpAddress::from_v6(bytes);
}

int extended_passive_port(const std::string& reply) {
    const auto open = reply.find("(|||");
    if (reply.rfind("229 ", 0) != 0 || open == std::string::npos) return 0;
    return std::atoi(reply.c_str() + open + 4);
}

platform::UniqueFd open_extended_passive(FtpConnection& control, const platform::IpAddress& host) {
    platform::UniqueFd data;
    const int port = extended_passive_port(control.command("EPSV"));
    if (port == 0) return data;
    (void)platform::connect_tcp({host, static_cast<std::uint16_t>(port)}, 5000, data);
    return data;
}

platform::UniqueFd ActiveListener::accept(std::chrono::milliseconds limit) {
    platform::UniqueFd fd;
    if (platform::wait_readable(socket.get(), static_cast<int>(limit.count())) ==
        platform::WaitResult::ready) {
        fd.reset(::accept4(socket.get(), nullptr, nullptr, SOCK_CLOEXEC));
    }
    return fd;
}

std::string ActiveListener::port_command() const {
    return "PORT 127,0,0,1," + std::to_string(port / 256) + "," + std::to_string(port % 256);
}

}  // namespace kesto::test
