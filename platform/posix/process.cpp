#include "platform/process.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <thread>

namespace kesto::platform {

namespace {

sigset_t stop_signals() {
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGTERM);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGHUP);
    return set;
}

void* run_thread_body(void* arg) {
    std::unique_ptr<std::function<void()>> body(static_cast<std::function<void()>*>(arg));
    (*body)();
    return nullptr;
}

// The child's side of start_detached: only async-signal-safe calls until exec.
[[noreturn]] void become_detached(const char* program, char* const* argv, const char* folder,
                                  int error_write_end) {
    ::setsid();
    const int null = ::open("/dev/null", O_RDWR);
    if (null < 0 || ::dup2(null, 0) < 0 || ::dup2(null, 1) < 0 || ::dup2(error_write_end, 2) < 0) {
        ::_exit(127);
    }
    if (::chdir(folder) != 0) ::_exit(127);
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    ::signal(SIGPIPE, SIG_DFL);
    ::execv(program, argv);
    ::_exit(127);
}

}  // namespace

DetachedProcess start_detached(const std::string& program, const std::vector<std::string>& args,
                               const std::string& working_folder) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {};
    UniqueFd read_end(ends[0]);
    UniqueFd write_end(ends[1]);
    // argv is built before fork: the child of a threaded process may not allocate.
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    const pid_t pid = ::fork();
    if (pid == 0) become_detached(program.c_str(), argv.data(), working_folder.c_str(), ends[1]);
    if (pid < 0) return {};
    ::fcntl(read_end.get(), F_SETFL, ::fcntl(read_end.get(), F_GETFL) | O_NONBLOCK);
    return {pid, std::move(read_end)};
}

std::optional<int> reap_child(int pid) {
    int raw = 0;
    const pid_t r = retry_eintr([&] { return ::waitpid(pid, &raw, WNOHANG); });
    if (r == 0) return std::nullopt;
    if (r != pid) return -1;
    return WIFEXITED(raw) ? WEXITSTATUS(raw) : 128 + WTERMSIG(raw);
}

PipeRead read_available(int fd, std::string& out, std::size_t max_bytes) {
    char buffer[4096];
    for (;;) {
        const ssize_t n = retry_eintr([&] { return ::read(fd, buffer, sizeof buffer); });
        if (n == 0) return PipeRead::end;
        if (n < 0) return errno == EAGAIN || errno == EWOULDBLOCK ? PipeRead::more : PipeRead::end;
        const std::size_t room = max_bytes > out.size() ? max_bytes - out.size() : 0;
        out.append(buffer, std::min(room, static_cast<std::size_t>(n)));
    }
}

std::string program_folder() {
    char buf[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string path(buf, static_cast<std::size_t>(n));
    const auto slash = path.rfind('/');
    return slash == 0 ? "/" : path.substr(0, slash);
}

void prepare_process_signals() {
    std::signal(SIGPIPE, SIG_IGN);
    // A file-size limit must fail the one write (EFBIG), not end the server.
    std::signal(SIGXFSZ, SIG_IGN);
    const sigset_t set = stop_signals();
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

void start_stop_signal_thread(std::function<void()> on_signal) {
    std::thread([on_signal = std::move(on_signal)] {
        const sigset_t set = stop_signals();
        int signal = 0;
        while (sigwait(&set, &signal) != 0) {
        }
        on_signal();
    }).detach();
}

bool start_detached_thread(std::function<void()> body) {
    auto* arg = new std::function<void()>(std::move(body));
    pthread_attr_t attr;
    pthread_attr_init(&attr);
    pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
    pthread_t thread;
    const int rc = pthread_create(&thread, &attr, run_thread_body, arg);
    pthread_attr_destroy(&attr);
    if (rc != 0) {
        delete arg;
        return false;
    }
    return true;
}

void report_failure(const char* caption, const std::string& message) {
    std::fprintf(stderr, "%s: %s\n", caption, message.c_str());
    std::fflush(stderr);
    report_to_system_log(caption, message);
}

void report_to_system_log(const char* caption, const std::string& message) {
    ::openlog("kftpd", LOG_PID, LOG_DAEMON);
    ::syslog(LOG_ERR, "%s: %s", caption, message.c_str());
    ::closelog();
}

void exit_process(int status) {
    std::fflush(stdout);
    std::fflush(stderr);
    ::_exit(status);
}

}  // namespace kesto::platform
