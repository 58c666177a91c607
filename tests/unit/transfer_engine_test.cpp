// The transfer engine over socket pairs and loopback TCP: bytes and offsets, open modes,
// EBCDIC, regular-file refusals, broken connections, full disks, 64-bit offsets and the
// idle limit.
#include "server/protocol/transfer_engine.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/connection.h"
#include "platform/file_transfer.h"
#include "platform/net.h"
#include "server/formats/ebcdic.h"

using namespace kesto::server;
using kesto::platform::UniqueFd;
namespace fs = std::filesystem;

namespace {

constexpr auto kI = RepresentationType::IMAGE;
constexpr auto kE = RepresentationType::EBCDIC;
constexpr std::int64_t kGiB = std::int64_t{1} << 30;

using kesto::platform::SocketConnection;

// The engine's side is a connection, as a session hands it over; the peer a socket.
struct Link {
    std::unique_ptr<SocketConnection> engine;
    UniqueFd peer;
};

std::unique_ptr<SocketConnection> connection(int fd) {
    return std::make_unique<SocketConnection>(UniqueFd(fd));
}

Link unix_link() {
    int fds[2] = {-1, -1};
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    return {connection(fds[0]), UniqueFd(fds[1])};
}

Link tcp_link() {
    UniqueFd listener(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof sa;
    auto* addr = reinterpret_cast<sockaddr*>(&sa);
    EXPECT_EQ(::bind(listener.get(), addr, len), 0);
    EXPECT_EQ(::listen(listener.get(), 1), 0);
    EXPECT_EQ(::getsockname(listener.get(), addr, &len), 0);
    UniqueFd peer(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
    EXPECT_EQ(::connect(peer.get(), addr, len), 0);
    return {connection(::accept4(listener.get(), nullptr, nullptr, SOCK_CLOEXEC)), std::move(peer)};
}

// Fixed small buffers: no autotuning lets the kernel hold a whole test file.
Link small_buffers(Link link) {
    const int size = 16 * 1024;
    ::setsockopt(link.engine->zero_copy_socket(), SOL_SOCKET, SO_SNDBUF, &size, sizeof size);
    ::setsockopt(link.peer.get(), SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    return link;
}

// Everything the peer receives until the engine's side closes.
std::future<std::string> drain(int socket) {
    return std::async(std::launch::async, [socket] {
        std::string all;
        char buf[1 << 16];
        long n;
        while ((n = kesto::platform::receive_some(socket, buf, sizeof buf)) > 0) {
            all.append(buf, static_cast<std::size_t>(n));
        }
        return all;
    });
}

// The file as RETR hands it to the engine: opened before the transfer.
UniqueFd opened(const std::string& file) {
    UniqueFd fd;
    (void)kesto::platform::open_for_reading(kesto::platform::entry_at_path(file), fd);
    return fd;
}

kesto::platform::Entry at(const std::string& file) {
    return kesto::platform::entry_at_path(file);
}

std::string bytes(std::initializer_list<int> values) {
    std::string s;
    for (int v : values) s += static_cast<char>(v);
    return s;
}

std::string pattern(std::size_t size) {
    std::string s(size, '\0');
    for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return s;
}

class TransferEngineTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ::signal(SIGPIPE, SIG_IGN);  // sendfile raises it on a closed connection
        dir_ = fs::temp_directory_path() /
               ("kesto_engine_" + std::to_string(::getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir_);
        fs::create_directories(dir_);
    }
    void TearDown() override { fs::remove_all(dir_); }

    std::string path(const char* name) const { return (dir_ / name).string(); }
    std::string write(const char* name, const std::string& content) const {
        std::ofstream(path(name), std::ios::binary) << content;
        return path(name);
    }
    std::string read(const std::string& file) const {
        std::ifstream in(file, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }
    // The bytes a download puts on the wire, and its result.
    std::string download(Link link, const std::string& file, RepresentationType type,
                         std::int64_t offset, TransferResult expected = TRANSFER_OK) {
        auto wire = drain(link.peer.get());
        EXPECT_EQ(send_file(log_, *link.engine, opened(file), type, offset, 0), expected);
        link.engine.reset();
        return wire.get();
    }
    // Stores `wire` (sent whole, then the peer closes) and returns the result.
    TransferResult upload(const std::string& wire, const std::string& file, RepresentationType type,
                          std::int64_t offset, ReceiveMode mode) {
        Link link = unix_link();
        std::thread peer([&] {
            EXPECT_EQ(kesto::platform::send_all(link.peer.get(), wire.data(), wire.size()), 0);
            link.peer.reset();
        });
        const TransferResult result =
            receive_file(log_, *link.engine, at(file), type, offset, mode, 0);
        peer.join();
        return result;
    }

    fs::path dir_;
    std::vector<std::string> lines_;
    LogPoster log_{LogLevel::extreme,
                   [this](LogLevel, const std::string& text) { lines_.push_back(text); }};
};

}  // namespace

TEST_F(TransferEngineTest, SendsTheStoredBytesFromTheRestartOffset) {
    const std::string content = pattern(600 * 1024) + "bare\nline\n";
    const std::string file = write("f", content);
    const std::int64_t size = static_cast<std::int64_t>(content.size());
    for (std::int64_t offset : {std::int64_t{0}, std::int64_t{100}, size - 5, size, size + 10}) {
        const std::string expected =
            content.substr(static_cast<std::size_t>(std::min(offset, size)));
        EXPECT_EQ(download(tcp_link(), file, kI, offset), expected) << offset;
        EXPECT_EQ(download(unix_link(), file, RepresentationType::ASCII, offset), expected);
    }
    EXPECT_EQ(download(unix_link(), file, RepresentationType::LOCAL, 0), content);
    EXPECT_EQ(download(unix_link(), write("empty", ""), kI, 0), "");
    EXPECT_EQ(lines_, std::vector<std::string>(12, "Send file"));
}

TEST_F(TransferEngineTest, SendsOnlyRegularFilesAndNoNegativeOffset) {
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);
    for (const std::string& file :
         {path("missing"), dir_.string(), path("fifo"), std::string("/dev/null")}) {
        EXPECT_EQ(download(unix_link(), file, kI, 0, TRANSFER_FILE_ERROR), "") << file;
    }
    EXPECT_EQ(download(unix_link(), write("f", "data"), kI, -1, TRANSFER_FILE_ERROR), "");
    EXPECT_TRUE(lines_.empty());
}

TEST_F(TransferEngineTest, EbcdicTranslatesOnTheWireWithOffsetsInStoredBytes) {
    const std::string file = write("f", "AB\r\n");
    EXPECT_EQ(download(tcp_link(), file, kE, 0), bytes({0xC1, 0xC2, 0x0D, 0x25}));
    EXPECT_EQ(download(unix_link(), file, kE, 2), bytes({0x0D, 0x25}));
    EXPECT_EQ(upload(bytes({0xC1, 0xC2, 0x0D, 0x25}), path("up"), kE, 0, ReceiveMode::store),
              TRANSFER_OK);
    EXPECT_EQ(read(path("up")), "AB\r\n");
}

TEST_F(TransferEngineTest, EveryByteValueSurvivesAnEbcdicRoundTrip) {
    const std::string wire = pattern(700 * 1024);  // several blocks, every value
    ASSERT_EQ(upload(wire, path("f"), kE, 0, ReceiveMode::store), TRANSFER_OK);
    const std::string stored = read(path("f"));
    ASSERT_EQ(stored.size(), wire.size());
    for (std::size_t i = 0; i < 256; ++i) {
        EXPECT_EQ(static_cast<unsigned char>(stored[i]),
                  kesto::formats::ebcdic_to_ascii[static_cast<unsigned char>(wire[i])]);
    }
    EXPECT_EQ(download(tcp_link(), path("f"), kE, 0), wire);
}

TEST_F(TransferEngineTest, StoreCreatesOrEmptiesAndStoresBytesUnchanged) {
    const std::string old = write("f", std::string(1000, 'o'));
    EXPECT_EQ(upload("a\nb\n", old, RepresentationType::ASCII, 0, ReceiveMode::store), TRANSFER_OK);
    EXPECT_EQ(read(old), "a\nb\n");
    EXPECT_EQ(upload("new", path("u"), kI, 0, ReceiveMode::store_unique), TRANSFER_OK);
    EXPECT_EQ(read(path("u")), "new");
}

TEST_F(TransferEngineTest, StoreAtAnOffsetOverwritesTheExistingFileInPlace) {
    const std::string old = pattern(1000);
    const std::string file = write("f", old);
    const std::string fresh(50, 'N');
    ASSERT_EQ(upload(fresh, file, kI, 100, ReceiveMode::store), TRANSFER_OK);
    EXPECT_EQ(read(file), old.substr(0, 100) + fresh + old.substr(150));

    EXPECT_EQ(upload("x", path("missing"), kI, 100, ReceiveMode::store), TRANSFER_FILE_ERROR);
    EXPECT_FALSE(fs::exists(path("missing")));
    EXPECT_EQ(upload("x", file, kI, -1, ReceiveMode::store), TRANSFER_FILE_ERROR);
    EXPECT_EQ(read(file).size(), 1000u);
}

TEST_F(TransferEngineTest, AppendCreatesAMissingFileAndAddsToAnExistingOne) {
    EXPECT_EQ(upload("one", path("a"), kI, 0, ReceiveMode::append), TRANSFER_OK);
    EXPECT_EQ(upload("two", path("a"), kI, 0, ReceiveMode::append), TRANSFER_OK);
    EXPECT_EQ(read(path("a")), "onetwo");
}

TEST_F(TransferEngineTest, StoresOnlyIntoRegularFiles) {
    ASSERT_EQ(::mkfifo(path("fifo").c_str(), 0600), 0);  // no reader: must not block
    for (const std::string& target : {std::string("/dev/full"), path("fifo"), dir_.string()}) {
        EXPECT_EQ(upload("x", target, kI, 0, ReceiveMode::store), TRANSFER_FILE_ERROR) << target;
        EXPECT_EQ(upload("x", target, kI, 0, ReceiveMode::append), TRANSFER_FILE_ERROR);
    }
}

TEST_F(TransferEngineTest, APeerClosingMidUploadKeepsWhatArrived) {
    const std::string part = pattern(300 * 1024);
    EXPECT_EQ(upload(part, path("f"), kI, 0, ReceiveMode::store), TRANSFER_OK);
    EXPECT_EQ(read(path("f")), part);
}

TEST_F(TransferEngineTest, BrokenConnectionsAbortAndLogTheSocketError) {
    Link reset = tcp_link();
    const linger abort_on_close{1, 0};
    ::setsockopt(reset.peer.get(), SOL_SOCKET, SO_LINGER, &abort_on_close, sizeof abort_on_close);
    reset.peer.reset();
    EXPECT_EQ(receive_file(log_, *reset.engine, at(path("r")), kI, 0, ReceiveMode::store, 0),
              TRANSFER_ABORTED);
    EXPECT_EQ(lines_.back(), "(SRB) Socket receive error: 104");

    const std::string file = write("f", pattern(1 << 20));
    Link gone = unix_link();
    gone.peer.reset();
    EXPECT_EQ(send_file(log_, *gone.engine, opened(file), kI, 0, 0), TRANSFER_ABORTED);
    EXPECT_TRUE(lines_.back().starts_with("(SSB) Socket send error: 32 ")) << lines_.back();
    EXPECT_TRUE(lines_.back().ends_with(" <<>>"));

    Link gone_too = unix_link();
    gone_too.peer.reset();
    EXPECT_EQ(send_file(log_, *gone_too.engine, opened(write("t", "ab")), kE, 0, 0),
              TRANSFER_ABORTED);
    EXPECT_EQ(lines_.back(), "(SSB) Socket send error: 32 2 <<" + bytes({0x81, 0x82}) + ">>");
}

TEST_F(TransferEngineTest, AFullDiskEndsTheUploadWithAWriteError) {
    const std::string wire = pattern(10000);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {  // the size limit must not outlive this case
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        ::_exit(upload(wire, path("f"), kI, 0, ReceiveMode::store));
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), TRANSFER_WRITE_ERROR);
    EXPECT_EQ(read(path("f")), wire.substr(0, 4096));
}

TEST_F(TransferEngineTest, FilesPastTwoGibibytesUseSixtyFourBitOffsets) {
    const std::string file = path("big");
    fs::resize_file(write("big", ""), 3 * kGiB);  // sparse
    const std::int64_t marks[] = {2 * kGiB + 1000, 2 * kGiB + kGiB / 2, 3 * kGiB - 4};
    UniqueFd fd(::open(file.c_str(), O_RDWR | O_CLOEXEC));
    for (std::int64_t at : marks) ASSERT_EQ(::pwrite(fd.get(), "MARK", 4, at), 4);

    const std::int64_t from = 2 * kGiB + 10;
    Link link = tcp_link();
    auto seen = std::async(std::launch::async, [&] {
        std::vector<char> buf(1 << 20), found;
        std::int64_t at = from;
        long n;
        while ((n = kesto::platform::receive_some(link.peer.get(), buf.data(), buf.size())) > 0) {
            for (std::int64_t mark : marks) {
                if (mark >= at && mark < at + n) found.push_back(buf[mark - at]);
            }
            at += n;
        }
        return std::make_pair(at - from, std::string(found.begin(), found.end()));
    });
    EXPECT_EQ(send_file(log_, *link.engine, opened(file), kI, from, 0), TRANSFER_OK);
    link.engine.reset();
    EXPECT_EQ(seen.get(), std::make_pair(3 * kGiB - from, std::string("MMM")));

    const std::string ebcdic_mark = bytes({0xD4, 0xC1, 0xD9, 0xD2});
    EXPECT_EQ(download(unix_link(), file, kE, 3 * kGiB - 4), ebcdic_mark);
    ASSERT_EQ(upload("mark", file, kI, marks[1], ReceiveMode::store), TRANSFER_OK);
    EXPECT_EQ(static_cast<std::int64_t>(fs::file_size(file)), 3 * kGiB);
    char back[4] = {};
    ASSERT_EQ(::pread(fd.get(), back, 4, marks[1]), 4);
    EXPECT_EQ(std::string(back, 4), "mark");
}

TEST_F(TransferEngineTest, TheIdleLimitEndsStalledTransfers) {
    Link silent = unix_link();
    ASSERT_EQ(kesto::platform::send_all(silent.peer.get(), "abc", 3), 0);
    EXPECT_EQ(receive_file(log_, *silent.engine, at(path("r")), kI, 0, ReceiveMode::store, 200),
              TRANSFER_TIMED_OUT);
    EXPECT_EQ(read(path("r")), "abc");

    const std::string file = path("big");
    fs::resize_file(write("big", ""), 64 << 20);  // more than any socket buffer holds
    for (RepresentationType type : {kI, kE}) {
        Link stalled = small_buffers(tcp_link());  // the peer never reads
        EXPECT_EQ(send_file(log_, *stalled.engine, opened(file), type, 0, 200), TRANSFER_TIMED_OUT);
        EXPECT_EQ(::fcntl(stalled.engine->zero_copy_socket(), F_GETFL) & O_NONBLOCK,
                  0);  // mode given back
    }
}

TEST_F(TransferEngineTest, ASlowButMovingDownloadOutlivesTheIdleLimit) {
    const std::string content = pattern(4 << 20);
    const std::string file = write("f", content);
    Link link = small_buffers(tcp_link());
    const auto start = std::chrono::steady_clock::now();
    auto wire = std::async(std::launch::async, [&] {
        std::string all;
        std::vector<char> buf(256 * 1024);
        long n;
        while ((n = kesto::platform::receive_some(link.peer.get(), buf.data(), buf.size())) > 0) {
            all.append(buf.data(), static_cast<std::size_t>(n));
            // Pacing, not waiting for a condition: each pause stays far below the limit.
            if (all.size() % (512 * 1024) < static_cast<std::size_t>(n)) {
                std::this_thread::sleep_for(std::chrono::milliseconds(200));
            }
        }
        return all;
    });
    EXPECT_EQ(send_file(log_, *link.engine, opened(file), kI, 0, 1000), TRANSFER_OK);
    link.engine.reset();
    EXPECT_EQ(wire.get(), content);
    EXPECT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
}
