#include "platform/process.h"

#include <pthread.h>
#include <syslog.h>
#include <unistd.h>

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

}  // namespace

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
