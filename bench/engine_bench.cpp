// Throughput of the transfer engine against the physical limit of the machine: the
// same file goes through a loopback TCP connection once with send_file (type IMAGE)
// and once with a bare sendfile loop, each to a reader thread that discards it.
// Usage: engine_bench [bytes]   (or KESTO_BENCH_BYTES; default 1 GiB)
// A measuring tool, not part of the server: it calls the system directly for the
// baseline that the engine is compared with.
#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "platform/connection.h"
#include "platform/file_transfer.h"
#include "platform/unique_fd.h"
#include "server/protocol/transfer_engine.h"

namespace {

using kesto::platform::UniqueFd;
constexpr int kRuns = 3;

std::int64_t requested_size(int argc, char** argv) {
    const char* text = argc > 1 ? argv[1] : std::getenv("KESTO_BENCH_BYTES");
    const long long size = text ? std::strtoll(text, nullptr, 10) : 0;
    return size > 0 ? size : std::int64_t{1} << 30;
}

// Real data, so that the page cache holds pages to copy rather than a sparse hole.
bool fill_file(const std::string& path, std::int64_t size) {
    std::vector<char> block(1 << 20);
    for (std::size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 131 + 7);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (std::int64_t left = size; left > 0 && out;) {
        const auto n = static_cast<std::streamsize>(
            std::min<std::int64_t>(left, static_cast<std::int64_t>(block.size())));
        out.write(block.data(), n);
        left -= n;
    }
    return static_cast<bool>(out.flush());
}

bool connect_loopback(UniqueFd& sender, UniqueFd& receiver) {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    auto* addr = reinterpret_cast<sockaddr*>(&sa);
    if (::bind(listener.get(), addr, len) != 0 || ::listen(listener.get(), 1) != 0 ||
        ::getsockname(listener.get(), addr, &len) != 0) {
        return false;
    }
    receiver.reset(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (::connect(receiver.get(), addr, len) != 0) return false;
    sender.reset(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC));
    return static_cast<bool>(sender);
}

std::int64_t discard_all(int socket) {
    std::vector<char> buf(1 << 20);
    std::int64_t total = 0;
    ssize_t n;
    while ((n = ::recv(socket, buf.data(), buf.size(), 0)) > 0) total += n;
    return total;
}

// Runs `send` on a fresh connection; MB/s (10^6 bytes) when every byte arrived, else 0.
double measure(const std::function<bool(int)>& send, std::int64_t size) {
    UniqueFd sender, receiver;
    if (!connect_loopback(sender, receiver)) return 0;
    const auto start = std::chrono::steady_clock::now();
    auto received = std::async(std::launch::async, discard_all, receiver.get());
    const bool sent = send(sender.get());
    sender.reset();
    const std::int64_t total = received.get();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    return (sent && total == size) ? static_cast<double>(size) / 1e6 / took.count() : 0;
}

bool bare_sendfile(int socket, const std::string& path) {
    UniqueFd file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
    off_t offset = 0;
    ssize_t n;
    while ((n = ::sendfile(socket, file.get(), &offset, 8u << 20)) > 0) {
    }
    return n == 0;
}

}  // namespace

int main(int argc, char** argv) {
    ::signal(SIGPIPE, SIG_IGN);
    const std::int64_t size = requested_size(argc, argv);
    const std::string path = (std::filesystem::temp_directory_path() /
                              ("kesto_engine_bench_" + std::to_string(::getpid())))
                                 .string();
    if (!fill_file(path, size)) {
        std::fprintf(stderr, "engine_bench: cannot write %s\n", path.c_str());
        return 1;
    }
    const kesto::server::LogPoster log(kesto::server::LogLevel::none,
                                       [](kesto::server::LogLevel, const std::string&) {});
    const auto engine = [&](int socket) {
        kesto::platform::UniqueFd file;
        (void)kesto::platform::open_for_reading(kesto::platform::entry_at_path(path), file);
        // The engine speaks over a connection; it owns a duplicate, so the socket closes
        // when the measurement closes its own.
        kesto::platform::SocketConnection data(UniqueFd(::dup(socket)));
        return kesto::server::send_file(log, data, std::move(file),
                                        kesto::server::RepresentationType::IMAGE, 0,
                                        0) == kesto::server::TRANSFER_OK;
    };
    const auto bare = [&](int socket) { return bare_sendfile(socket, path); };
    double best_engine = 0, best_bare = 0;
    for (int run = 0; run < kRuns; ++run) {
        const double e = measure(engine, size);
        const double b = measure(bare, size);
        std::printf("run %d: send_file %.0f MB/s, bare sendfile %.0f MB/s\n", run + 1, e, b);
        best_engine = std::max(best_engine, e);
        best_bare = std::max(best_bare, b);
    }
    std::filesystem::remove(path);
    std::printf("file %lld bytes, best of %d: send_file %.0f MB/s, bare sendfile %.0f MB/s\n",
                static_cast<long long>(size), kRuns, best_engine, best_bare);
    return (best_engine > 0 && best_bare > 0) ? 0 : 1;
}
