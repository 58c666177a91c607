// A small FTP load client for the benchmark against peer servers: raw FTP over sockets,
// no library, one connection after another or many at once. Loopback only.
//
//   ftp_load login PORT USER PASS SECONDS
//       connect, USER, PASS, NOOP, QUIT (and wait for the server's close) in a loop,
//       one session after another, for SECONDS: sessions per second.
//   ftp_load fetch PORT USER PASS PATH CLIENTS FETCHES [PSS_ROOT_PID]
//       CLIENTS connections at once, each logs in once (TYPE I), then PASV + RETR PATH
//       FETCHES times, reading every byte to the end of data: aggregate MB/s, timed from
//       the moment every client is logged in. With PSS_ROOT_PID, a sampler sums the PSS
//       of that process's descendants (/proc/PID/smaps_rollup; the root itself is left
//       out: it is the launcher of `serve`) every 20 ms from before the first connection
//       to after the last QUIT, and reports the peak.
//
//   ftp_load serve COMMAND [ARGS...]
//       runs a server under a launcher that is its child subreaper: session processes
//       whose parent ends before them are reaped here, so their CPU time stays in this
//       process tree (cutime) instead of going to init. SIGTERM/SIGINT/SIGHUP are passed
//       on to the server; the launcher ends when the server and its orphans have (at
//       most 5 s after the server).
//   ftp_load cpu PID
//       the CPU time (ms) that PID and its descendants have used so far, reaped children
//       included; run before and after a test to get the server's share.
//   ftp_load bare FILE
//       the physical limit: a bare sendfile(2) of FILE over a loopback TCP connection to
//       a reader thread that discards it 1 MiB at a time (as fetch reads): MB/s.
//
// Output is one line of key=value pairs; MB are 10^6 bytes. Every socket has a 60 s
// receive/send limit, so a stalled server ends the run instead of hanging it.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/time.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;
constexpr int kSocketTimeoutSeconds = 60;
constexpr std::size_t kDataBuffer = 1 << 20;

double seconds_since(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// A socket descriptor owned by one object.
class Socket {
  public:
    Socket() = default;
    explicit Socket(int fd) : fd_(fd) {}
    Socket(Socket&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
    Socket& operator=(Socket&& other) noexcept {
        if (this != &other) {
            close();
            fd_ = std::exchange(other.fd_, -1);
        }
        return *this;
    }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    ~Socket() { close(); }

    int get() const { return fd_; }
    bool valid() const { return fd_ >= 0; }
    void close() {
        if (fd_ >= 0) ::close(fd_);
        fd_ = -1;
    }

  private:
    int fd_ = -1;
};

Socket connect_loopback(std::uint16_t port) {
    Socket s(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!s.valid()) return s;
    timeval limit{kSocketTimeoutSeconds, 0};
    ::setsockopt(s.get(), SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    ::setsockopt(s.get(), SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int r;
    do {
        r = ::connect(s.get(), reinterpret_cast<const sockaddr*>(&sa), sizeof sa);
    } while (r != 0 && errno == EINTR);
    if (r != 0) s.close();
    return s;
}

bool send_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::send(fd, text.data() + done, text.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The control connection: commands out, replies in (multi-line replies read whole).
class Control {
  public:
    bool open(std::uint16_t port) {
        socket_ = connect_loopback(port);
        if (!socket_.valid()) return false;
        const int one = 1;
        ::setsockopt(socket_.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        return true;
    }

    // The code of the next complete reply, or -1 when the connection failed.
    int reply() {
        std::string line;
        if (!read_line(line) || line.size() < 3) return -1;
        const int code = std::atoi(line.substr(0, 3).c_str());
        last_ = line;
        if (line.size() > 3 && line[3] == '-') {
            const std::string end = line.substr(0, 3) + " ";
            do {
                if (!read_line(line)) return -1;
            } while (!line.starts_with(end));
        }
        return code;
    }

    int command(const std::string& line) {
        if (!send_all(socket_.get(), line + "\r\n")) return -1;
        return reply();
    }

    // After QUIT: waits until the server closes its side.
    void drain_to_close() {
        char buf[512];
        for (;;) {
            const ssize_t n = ::recv(socket_.get(), buf, sizeof buf, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return;
        }
    }

    const std::string& last_line() const { return last_; }
    void close() { socket_.close(); }

  private:
    bool read_line(std::string& line) {
        for (;;) {
            const std::size_t end = buffer_.find('\n');
            if (end != std::string::npos) {
                line = buffer_.substr(0, end);
                if (!line.empty() && line.back() == '\r') line.pop_back();
                buffer_.erase(0, end + 1);
                return true;
            }
            char chunk[4096];
            const ssize_t n = ::recv(socket_.get(), chunk, sizeof chunk, 0);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) return false;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    Socket socket_;
    std::string buffer_;
    std::string last_;
};

struct Login {
    std::uint16_t port;
    std::string user;
    std::string pass;
};

bool log_in(Control& c, const Login& login) {
    if (!c.open(login.port) || c.reply() != 220) return false;
    const int user = c.command("USER " + login.user);
    if (user == 230) return true;
    return user == 331 && c.command("PASS " + login.pass) == 230;
}

int run_login(const Login& login, double seconds) {
    long sessions = 0, failures = 0;
    const auto start = Clock::now();
    while (seconds_since(start) < seconds && failures < 1000) {
        Control c;
        const bool ok = log_in(c, login) && c.command("NOOP") == 200 && c.command("QUIT") == 221;
        if (ok) {
            c.drain_to_close();
            ++sessions;
        } else {
            ++failures;
        }
    }
    const double took = seconds_since(start);
    std::printf("sessions=%ld failures=%ld seconds=%.3f rate=%.1f\n", sessions, failures, took,
                static_cast<double>(sessions) / took);
    return failures == 0 && sessions > 0 ? 0 : 1;
}

// "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": the port.
int passive_port(const std::string& line) {
    const std::size_t open = line.find('(');
    const std::string numbers = line.substr(open == std::string::npos ? 4 : open + 1);
    unsigned h[6];
    if (std::sscanf(numbers.c_str(), "%u,%u,%u,%u,%u,%u", &h[0], &h[1], &h[2], &h[3], &h[4],
                    &h[5]) != 6) {
        return -1;
    }
    return static_cast<int>(h[4] * 256 + h[5]);
}

// One PASV + RETR; the number of bytes read, or -1.
long long fetch_once(Control& c, const std::string& path, std::vector<char>& buffer) {
    if (c.command("PASV") != 227) return -1;
    const int port = passive_port(c.last_line());
    if (port <= 0) return -1;
    Socket data = connect_loopback(static_cast<std::uint16_t>(port));
    if (!data.valid()) return -1;
    const int preliminary = c.command("RETR " + path);
    if (preliminary != 150 && preliminary != 125) return -1;
    long long total = 0;
    for (;;) {
        const ssize_t n = ::recv(data.get(), buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return -1;
        if (n == 0) break;
        total += n;
    }
    data.close();
    return c.reply() == 226 ? total : -1;
}

// `root` and all its descendants, from the parent links in /proc/*/stat.
std::vector<pid_t> process_tree(pid_t root) {
    std::map<pid_t, std::vector<pid_t>> children;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/proc", ec)) {
        const std::string name = entry.path().filename().string();
        if (name.empty() ||
            !std::all_of(name.begin(), name.end(), [](char ch) { return ch >= '0' && ch <= '9'; }))
            continue;
        std::ifstream stat(entry.path() / "stat");
        std::string text;
        std::getline(stat, text);
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        char state = 0;
        int parent = 0;
        if (std::sscanf(text.c_str() + close + 1, " %c %d", &state, &parent) != 2) continue;
        children[parent].push_back(std::atoi(name.c_str()));
    }
    std::vector<pid_t> tree;
    std::vector<pid_t> todo{root};
    std::set<pid_t> seen;
    while (!todo.empty()) {
        const pid_t pid = todo.back();
        todo.pop_back();
        if (!seen.insert(pid).second) continue;
        tree.push_back(pid);
        for (const pid_t child : children[pid]) todo.push_back(child);
    }
    return tree;
}

// The sum of the PSS (KiB) of the descendants of `root`.
long long tree_pss_kib(pid_t root) {
    long long total = 0;
    for (const pid_t pid : process_tree(root)) {
        if (pid == root) continue;
        std::ifstream rollup("/proc/" + std::to_string(pid) + "/smaps_rollup");
        for (std::string line; std::getline(rollup, line);) {
            if (line.starts_with("Pss:")) {
                total += std::atoll(line.c_str() + 4);
                break;
            }
        }
    }
    return total;
}

// The CPU time (ms) of `root` and its descendants: utime + stime of each, plus cutime +
// cstime (the children it has already reaped, which carry their own reaped children).
long long tree_cpu_ms(pid_t root) {
    long long ticks = 0;
    for (const pid_t pid : process_tree(root)) {
        std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
        std::string text;
        std::getline(stat, text);
        const std::size_t close = text.rfind(')');
        if (close == std::string::npos) continue;
        // Fields 3.. after the name; utime, stime, cutime, cstime are fields 14 to 17.
        std::vector<long long> field;
        const char* p = text.c_str() + close + 1;
        char* end = nullptr;
        for (int i = 3; i <= 17 && *p; ++i) {
            while (*p == ' ') ++p;
            if (i == 3) {
                ++p;  // the state letter
                field.push_back(0);
                continue;
            }
            field.push_back(std::strtoll(p, &end, 10));
            p = end;
        }
        if (field.size() == 15) ticks += field[11] + field[12] + field[13] + field[14];
    }
    return ticks * 1000 / ::sysconf(_SC_CLK_TCK);
}

class PssSampler {
  public:
    explicit PssSampler(pid_t root) : root_(root) {
        if (root_ > 0) {
            idle_ = tree_pss_kib(root_);
            thread_ = std::thread([this] { run(); });
        }
    }
    PssSampler(const PssSampler&) = delete;
    PssSampler& operator=(const PssSampler&) = delete;
    ~PssSampler() { stop(); }

    void stop() {
        if (!thread_.joinable()) return;
        {
            std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        wake_.notify_all();
        thread_.join();
    }
    long long idle() const { return idle_; }
    long long peak() const { return peak_; }
    long samples() const { return samples_; }

  private:
    void run() {
        std::unique_lock lock(mutex_);
        while (!stopping_) {
            lock.unlock();
            peak_ = std::max(peak_, tree_pss_kib(root_));
            ++samples_;
            lock.lock();
            wake_.wait_for(lock, std::chrono::milliseconds(20), [this] { return stopping_; });
        }
    }

    pid_t root_;
    long long idle_ = 0;
    long long peak_ = 0;
    long samples_ = 0;
    bool stopping_ = false;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::thread thread_;
};

// Every client waits here until all are logged in; the clock starts when the last arrives.
class StartLine {
  public:
    explicit StartLine(int parties) : waiting_(parties) {}
    void arrive() {
        std::unique_lock lock(mutex_);
        if (--waiting_ == 0) {
            start_ = Clock::now();
            open_.notify_all();
        } else {
            open_.wait(lock, [this] { return waiting_ <= 0; });
        }
    }
    Clock::time_point start() const { return start_; }

  private:
    int waiting_;
    Clock::time_point start_;
    std::mutex mutex_;
    std::condition_variable open_;
};

int run_fetch(const Login& login, const std::string& path, int clients, int fetches,
              pid_t pss_root) {
    PssSampler sampler(pss_root);
    StartLine start_line(clients);
    std::atomic<long long> bytes{0};
    std::atomic<long> done{0}, failed{0}, refused{0};
    std::vector<std::thread> threads;
    threads.reserve(static_cast<std::size_t>(clients));
    for (int i = 0; i < clients; ++i) {
        threads.emplace_back([&] {
            Control c;
            // A server whose sessions are still closing may refuse at once (421): retry.
            bool in = false;
            for (int attempt = 0; attempt < 50 && !in; ++attempt) {
                in = log_in(c, login) && c.command("TYPE I") == 200;
                if (!in) {
                    ++refused;
                    c.close();
                    c = Control();
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                }
            }
            start_line.arrive();
            if (!in) {
                failed += fetches;
                return;
            }
            std::vector<char> buffer(kDataBuffer);
            for (int f = 0; f < fetches; ++f) {
                const long long n = fetch_once(c, path, buffer);
                if (n < 0) {
                    ++failed;
                    break;
                }
                bytes += n;
                ++done;
            }
            if (c.command("QUIT") == 221) c.drain_to_close();
        });
    }
    for (auto& t : threads) t.join();
    const double took = seconds_since(start_line.start());
    sampler.stop();
    std::printf(
        "fetches=%ld failures=%ld refused_logins=%ld bytes=%lld seconds=%.3f mbps=%.1f "
        "pss_idle_kib=%lld pss_peak_kib=%lld pss_samples=%ld\n",
        done.load(), failed.load(), refused.load(), bytes.load(), took,
        static_cast<double>(bytes.load()) / 1e6 / took, sampler.idle(), sampler.peak(),
        sampler.samples());
    return failed == 0 ? 0 : 1;
}

// Reads the connection to its end; the number of bytes.
long long discard_all(int fd) {
    std::vector<char> buffer(kDataBuffer);
    long long total = 0;
    for (;;) {
        const ssize_t n = ::recv(fd, buffer.data(), buffer.size(), 0);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return total;
        total += n;
    }
}

int run_bare(const std::string& path) {
    const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    struct stat st {};
    if (file < 0 || ::fstat(file, &st) != 0) {
        std::fprintf(stderr, "ftp_load: cannot open %s\n", path.c_str());
        return 1;
    }
    Socket listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    auto* addr = reinterpret_cast<sockaddr*>(&sa);
    if (::bind(listener.get(), addr, len) != 0 || ::listen(listener.get(), 1) != 0 ||
        ::getsockname(listener.get(), addr, &len) != 0) {
        return 1;
    }
    Socket reader = connect_loopback(ntohs(sa.sin_port));
    Socket sender(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    if (!reader.valid() || !sender.valid()) return 1;
    const auto start = Clock::now();
    long long received = 0;
    std::thread drain([&] { received = discard_all(reader.get()); });
    off_t offset = 0;
    ssize_t n;
    while ((n = ::sendfile(sender.get(), file, &offset, 8u << 20)) > 0 ||
           (n < 0 && errno == EINTR)) {
    }
    sender.close();
    drain.join();
    const double took = seconds_since(start);
    ::close(file);
    std::printf("bytes=%lld seconds=%.3f mbps=%.1f\n", received, took,
                static_cast<double>(received) / 1e6 / took);
    return received == st.st_size ? 0 : 1;
}

int run_serve(char** command) {
    if (::prctl(PR_SET_CHILD_SUBREAPER, 1) != 0) return 1;
    sigset_t handled, old;
    sigemptyset(&handled);
    for (const int sig : {SIGTERM, SIGINT, SIGHUP, SIGCHLD}) sigaddset(&handled, sig);
    ::sigprocmask(SIG_BLOCK, &handled, &old);
    const pid_t server = ::fork();
    if (server < 0) return 1;
    if (server == 0) {
        ::signal(SIGPIPE, SIG_DFL);  // as the server would get it from a shell
        ::sigprocmask(SIG_SETMASK, &old, nullptr);
        ::execvp(command[0], command);
        std::fprintf(stderr, "ftp_load: cannot run %s: %s\n", command[0], std::strerror(errno));
        ::_exit(127);
    }
    int status = 0;
    bool server_ended = false;
    Clock::time_point ended_at;
    const timespec tick{0, 100 * 1000 * 1000};
    for (;;) {
        const int sig = ::sigtimedwait(&handled, nullptr, &tick);
        if (sig == SIGTERM || sig == SIGINT || sig == SIGHUP) ::kill(server, sig);
        int st = 0;
        pid_t pid;
        while ((pid = ::waitpid(-1, &st, WNOHANG)) > 0) {
            if (pid == server) {
                status = st;
                server_ended = true;
                ended_at = Clock::now();
            }
        }
        if (pid < 0 && errno == ECHILD) break;  // nothing left to reap
        if (server_ended && seconds_since(ended_at) > 5) break;
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

int usage() {
    std::fprintf(stderr,
                 "usage: ftp_load login PORT USER PASS SECONDS\n"
                 "       ftp_load fetch PORT USER PASS PATH CLIENTS FETCHES [PSS_ROOT_PID]\n"
                 "       ftp_load serve COMMAND [ARGS...]\n"
                 "       ftp_load cpu PID\n"
                 "       ftp_load bare FILE\n");
    return 2;
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    if (argc == 3 && std::string(argv[1]) == "bare") return run_bare(argv[2]);
    if (argc >= 3 && std::string(argv[1]) == "serve") return run_serve(argv + 2);
    if (argc == 3 && std::string(argv[1]) == "cpu") {
        std::printf("cpu_ms=%lld\n", tree_cpu_ms(static_cast<pid_t>(std::atoi(argv[2]))));
        return 0;
    }
    if (argc < 6) return usage();
    const std::string mode = argv[1];
    const Login login{static_cast<std::uint16_t>(std::atoi(argv[2])), argv[3], argv[4]};
    if (mode == "login" && argc == 6) {
        const double seconds = std::atof(argv[5]);
        return seconds > 0 && seconds <= 600 ? run_login(login, seconds) : usage();
    }
    if (mode == "fetch" && (argc == 8 || argc == 9)) {
        const int clients = std::atoi(argv[6]);
        const int fetches = std::atoi(argv[7]);
        const pid_t root = argc == 9 ? static_cast<pid_t>(std::atoi(argv[8])) : 0;
        if (clients < 1 || clients > 1000 || fetches < 1 || fetches > 100000) return usage();
        return run_fetch(login, argv[5], clients, fetches, root);
    }
    return usage();
}
