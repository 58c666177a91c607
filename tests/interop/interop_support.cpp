#include "interop_support.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <iostream>
#include <map>
#include <regex>
#include <sstream>

extern char** environ;

namespace kesto::interop {

namespace {

// Grace beyond the client's own time limit before the child is killed outright.
constexpr auto kKillGrace = 10s;

std::string lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool is_replaced_variable(const std::string& name) {
    const std::string l = lower(name);
    if (l.size() >= 6 && l.substr(l.size() - 6) == "_proxy") return true;
    return name == "TZ" || name == "HOME" || name == "LANG" || name == "LANGUAGE" ||
           name.rfind("LC_", 0) == 0;
}

std::vector<std::string> client_environment(const fs::path& home) {
    std::vector<std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
        const std::string entry(*e);
        if (!is_replaced_variable(entry.substr(0, entry.find('=')))) env.push_back(entry);
    }
    env.push_back("TZ=UTC");
    env.push_back("LC_ALL=C");
    env.push_back("LANG=C");
    env.push_back("HOME=" + home.string());
    return env;
}

std::vector<char*> pointers(std::vector<std::string>& strings) {
    std::vector<char*> result;
    for (auto& s : strings) result.push_back(s.data());
    result.push_back(nullptr);
    return result;
}

// Reads both pipes until they close or the deadline passes.
void collect(int out_fd, int err_fd, ClientResult& result,
             std::chrono::steady_clock::time_point deadline) {
    pollfd fds[2] = {{out_fd, POLLIN, 0}, {err_fd, POLLIN, 0}};
    std::string* sinks[2] = {&result.out, &result.err};
    int open_count = 2;
    char buf[65536];
    while (open_count > 0) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) return;
        const int ready = ::poll(fds, 2, static_cast<int>(left.count()));
        if (ready < 0 && errno == EINTR) continue;
        if (ready <= 0) return;
        for (int i = 0; i < 2; ++i) {
            if (fds[i].fd < 0 || fds[i].revents == 0) continue;
            const ssize_t n = ::read(fds[i].fd, buf, sizeof buf);
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                fds[i].fd = -1;
                --open_count;
            } else {
                sinks[i]->append(buf, static_cast<std::size_t>(n));
            }
        }
    }
}

std::string join(const std::vector<std::string>& words) {
    std::string text;
    for (const auto& w : words) text += (text.empty() ? "" : " ") + w;
    return text;
}

// Files and folders below `root`, by relative path; true for folders.
std::map<std::string, bool> entries_below(const fs::path& root) {
    std::map<std::string, bool> entries;
    for (const auto& e : fs::recursive_directory_iterator(root)) {
        entries[fs::relative(e.path(), root).string()] = e.is_directory();
    }
    return entries;
}

}  // namespace

std::string login_name(const std::string& account) {
    return lower(account);
}

std::string ClientResult::describe() const {
    std::ostringstream text;
    text << "command: " << command_line << "\nexit status: " << exit_status
         << (timed_out ? " (timed out)" : "") << "\n--- stdout ---\n"
         << out.substr(0, 4000) << "\n--- stderr ---\n"
         << err.substr(0, 4000) << "\n";
    return text.str();
}

std::string find_program(const std::string& name) {
    const char* path = std::getenv("PATH");
    std::istringstream folders(path ? path : "/usr/bin:/bin");
    std::string folder;
    while (std::getline(folders, folder, ':')) {
        if (folder.empty()) continue;
        const fs::path candidate = fs::path(folder) / name;
        std::error_code ec;
        if (fs::is_regular_file(candidate, ec) && ::access(candidate.c_str(), X_OK) == 0) {
            return candidate.string();
        }
    }
    ADD_FAILURE() << "The client program '" << name
                  << "' is not installed (scripts/bootstrap.sh installs the interop clients).";
    return {};
}

ClientResult run_client(const std::vector<std::string>& argv, const fs::path& working_folder,
                        std::chrono::seconds limit) {
    ClientResult result;
    result.command_line = join(argv);
    const std::string timeout_program = find_program("timeout");
    const std::string program = find_program(argv.at(0));
    if (timeout_program.empty() || program.empty()) {
        result.err = "client program missing";
        return result;
    }
    std::vector<std::string> args = {timeout_program, "-k", "2", std::to_string(limit.count()),
                                     program};
    args.insert(args.end(), argv.begin() + 1, argv.end());
    std::vector<std::string> env = client_environment(working_folder);
    std::vector<char*> arg_ptrs = pointers(args);
    std::vector<char*> env_ptrs = pointers(env);

    int out_pipe[2], err_pipe[2];
    if (::pipe2(out_pipe, O_CLOEXEC) != 0) return result;
    if (::pipe2(err_pipe, O_CLOEXEC) != 0) {
        ::close(out_pipe[0]);
        ::close(out_pipe[1]);
        return result;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int null = ::open("/dev/null", O_RDONLY);
        ::dup2(null, 0);
        ::dup2(out_pipe[1], 1);
        ::dup2(err_pipe[1], 2);
        if (::chdir(working_folder.c_str()) != 0) ::_exit(126);
        sigset_t none;
        sigemptyset(&none);
        ::sigprocmask(SIG_SETMASK, &none, nullptr);
        ::signal(SIGPIPE, SIG_DFL);
        ::execve(arg_ptrs[0], arg_ptrs.data(), env_ptrs.data());
        ::_exit(127);
    }
    ::close(out_pipe[1]);
    ::close(err_pipe[1]);
    const auto deadline = std::chrono::steady_clock::now() + limit + kKillGrace;
    if (pid > 0) collect(out_pipe[0], err_pipe[0], result, deadline);
    ::close(out_pipe[0]);
    ::close(err_pipe[0]);
    if (pid < 0) return result;

    int raw = 0;
    const bool ended = test::wait_until(
        [&] { return ::waitpid(pid, &raw, WNOHANG) == pid; },
        std::chrono::duration_cast<std::chrono::milliseconds>(std::max(
            deadline - std::chrono::steady_clock::now(), std::chrono::steady_clock::duration(1s))));
    if (!ended) {
        ::kill(pid, SIGKILL);
        ::waitpid(pid, &raw, 0);
        result.timed_out = true;
    }
    result.exit_status = WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
    // coreutils timeout reports an expired limit as 124 (137 after its own kill).
    if (result.exit_status == 124 || result.exit_status == 137) result.timed_out = true;
    return result;
}

std::vector<std::string> lines_of(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        lines.push_back(line);
    }
    return lines;
}

std::map<std::string, long long> listing_entries(const std::string& text) {
    static const std::regex unix_line(
        R"(^([-d])[-rwx]{9}   1 ftpd     ftpd +(\d+) [A-Z][a-z]{2} \d\d \d\d:\d\d (.+)$)");
    static const std::regex win_line(R"(^\d\d-\d\d-\d\d  \d\d:\d\d[AP]M +(<DIR>|\d+) (.+)$)");
    std::map<std::string, long long> entries;
    for (const std::string& line : lines_of(text)) {
        std::smatch m;
        if (std::regex_match(line, m, unix_line)) {
            entries[m[3]] = m[1] == "d" ? -1 : std::stoll(m[2]);
        } else if (std::regex_match(line, m, win_line) && line.size() > 39) {
            entries[line.substr(39)] = m[1] == "<DIR>" ? -1 : std::stoll(m[1]);
        } else if (line != "total 100") {
            entries["unparsed: " + line] = -2;
        }
    }
    return entries;
}

void set_mtime(const fs::path& path, std::time_t when) {
    const timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, 0), 0) << path;
}

std::time_t utc_time(int year, int month, int day, int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return ::timegm(&t);
}

void make_read_only(const fs::path& path) {
    fs::permissions(path, fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
}

std::string pattern_bytes(std::size_t size, unsigned seed) {
    std::string data(size, '\0');
    std::uint32_t x = seed * 2654435761u + 1;
    for (std::size_t i = 0; i < size; ++i) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        data[i] = static_cast<char>(x & 0xFF);
    }
    return data;
}

void make_tree(const fs::path& root, int file_count, unsigned seed) {
    static const char* kFolders[] = {"",      "PROGRAMS", "PROGRAMS/OLD", "PROGRAMS/OLD/ARCHIVE 1",
                                     "TOOLS", "DATA"};
    static const std::size_t kSizes[] = {0,    1,    255,   256,  257,    511,   512,
                                         513,  1000, 4095,  4096, 8193,   20000, 65536,
                                         1234, 99,   70001, 3000, 131071, 300007};
    fs::create_directories(root / "EMPTY");
    for (const char* f : kFolders) fs::create_directories(root / f);
    std::uint32_t x = seed | 1;
    for (int i = 0; i < file_count; ++i) {
        x = x * 1103515245u + 12345u;
        const std::size_t size = kSizes[(x >> 8) % std::size(kSizes)];
        char name[32];
        if (i % 10 == 3) {
            std::snprintf(name, sizeof name, "PART %03d.NC", i);
        } else if (i % 10 == 7) {
            std::snprintf(name, sizeof name, "O%04d", 1000 + i);
        } else {
            std::snprintf(name, sizeof name, "F%03d.BIN", i);
        }
        const fs::path folder = root / kFolders[static_cast<std::size_t>(i) % std::size(kFolders)];
        test::write_file(folder / name, pattern_bytes(size, seed + static_cast<unsigned>(i)));
    }
}

std::string compare_trees(const fs::path& expected, const fs::path& actual) {
    std::ostringstream diff;
    int reported = 0;
    auto note = [&](const std::string& text) {
        if (reported++ < 20) diff << text << "\n";
    };
    if (!fs::is_directory(actual)) return "missing folder " + actual.string();
    const auto want = entries_below(expected);
    const auto got = entries_below(actual);
    for (const auto& [name, is_folder] : want) {
        const auto found = got.find(name);
        if (found == got.end()) {
            note("missing: " + name);
        } else if (found->second != is_folder) {
            note("kind differs: " + name);
        } else if (!is_folder &&
                   test::read_file(expected / name) != test::read_file(actual / name)) {
            note("content differs: " + name + " (" +
                 std::to_string(fs::file_size(expected / name)) + " bytes expected, " +
                 std::to_string(fs::file_size(actual / name)) + " bytes found)");
        }
    }
    for (const auto& [name, is_folder] : got) {
        if (!want.contains(name)) note("unexpected: " + name);
    }
    if (reported > 20) diff << "... " << reported - 20 << " more\n";
    return diff.str();
}

void InteropTest::SetUp() {
    ::signal(SIGPIPE, SIG_IGN);
    ::setenv("TZ", "UTC", 1);
    ::tzset();
    const fs::path base = fs::canonical(folder_.path());
    files_ = base / "files";
    jail_ = files_ / "JAIL";
    desk_ = base / "desk";
    client_ = base / "client";
    fs::create_directories(jail_);
    fs::create_directories(desk_);
    fs::create_directories(client_);
    auto account = [](const std::string& section, const std::string& keys) {
        return "[USER" + section + "]\r\nNAME=" + lower(section) + "\r\nPASS=" + kPassword +
               "\r\n" + keys + "\r\n";
    };
    const std::string path = "PATH=" + files_.string() + "\r\n";
    test::write_file(
        folder_.accounts(),
        account(kUnixUser, path + "SYS=UNIX") + account(kWinUser, path + "SYS=WINNT4") +
            account(kUnknownUser, path + "SYS=UNKNOWN") + account(kOkumaUser, path + "SYS=OKUMA") +
            account(kConfinedUser, "PATH=" + jail_.string() + "\r\nROOT=yes") +
            account(kReadOnlyUser, path + "READONLY=yes\r\nSYS=WINNT4") +
            account(kDesktopUser, "PATH=" + desk_.string() + "\r\nROOT=yes\r\nDESKTOP=yes"));
    // IPv6 clients reach the same server on ::1.
    server_ =
        std::make_unique<test::ServerUnderTest>(folder_, "EXTREME", "SYSTEM_ADDRESS6=::1\r\n");
    ASSERT_TRUE(server_->ready()) << test::read_file(folder_.path() / "stderr.txt");
}

void InteropTest::TearDown() {
    if (!HasFailure()) return;
    const auto lines = lines_of(test::read_file(folder_.log()));
    const std::size_t first = lines.size() > 60 ? lines.size() - 60 : 0;
    std::cout << "--- last lines of the server's event log ---\n";
    for (std::size_t i = first; i < lines.size(); ++i) std::cout << lines[i] << "\n";
}

std::string InteropTest::url(const std::string& path) const {
    return "ftp://127.0.0.1:" + std::to_string(port()) + path;
}

std::string InteropTest::url6(const std::string& path) const {
    return "ftp://[::1]:" + std::to_string(port()) + path;
}

std::size_t InteropTest::replies_logged(const std::string& reply) const {
    const std::string log = test::read_file(folder_.log());
    const std::string needle = "S->C: " + reply + "\r\n";
    std::size_t count = 0;
    for (auto at = log.find(needle); at != std::string::npos; at = log.find(needle, at + 1)) {
        ++count;
    }
    return count;
}

bool InteropTest::reply_logged_after(const std::string& reply, std::size_t count) const {
    return test::wait_until([&] { return replies_logged(reply) > count; }, 5s);
}

void InteropTest::expect_data_connections(bool passive) const {
    expect_data_connections(std::string(passive ? "PASV" : "PORT"));
}

void InteropTest::expect_data_connections(const std::string& command) const {
    const std::string log = test::read_file(folder_.log());
    for (const char* each : {"PASV", "EPSV", "PORT", "EPRT"}) {
        EXPECT_EQ(log.find(std::string("C->S: ") + each) != std::string::npos, command == each)
            << each << " used";
    }
    // Active connections name the client's own address.
    EXPECT_EQ(log.find("C->S: PORT 127,0,0,1,"), log.find("C->S: PORT "));
    for (auto at = log.find("C->S: EPRT "); at != std::string::npos;
         at = log.find("C->S: EPRT ", at + 1)) {
        const std::string_view rest = std::string_view(log).substr(at + 11);
        // lftp names no host over IPv6 ("::"): the server takes the client's own.
        EXPECT_TRUE(rest.starts_with("|1|127.0.0.1|") || rest.starts_with("|2|::1|") ||
                    rest.starts_with("|2|::|"))
            << rest;
    }
}

}  // namespace kesto::interop
