// The connection type: typed results of a socket connection, and the transfer engine
// over a connection without a zero-copy socket (every byte through send and receive,
// as over TLS).
#include <gtest/gtest.h>
#include <sys/socket.h>

#include <filesystem>
#include <fstream>
#include <thread>

#include "memory_connection.h"
#include "platform/file_transfer.h"
#include "server/protocol/transfer_engine.h"

using namespace kesto;
using platform::IoStatus;
using platform::UniqueFd;
namespace fs = std::filesystem;

namespace {

struct Pair {
    platform::SocketConnection connection;
    UniqueFd peer;
};

Pair socket_pair() {
    int fds[2] = {-1, -1};
    EXPECT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, fds), 0);
    return {platform::SocketConnection(UniqueFd(fds[0])), UniqueFd(fds[1])};
}

const server::LogPoster kNoLog{server::LogLevel::none, [](server::LogLevel, const std::string&) {}};

}  // namespace

TEST(SocketConnection, ResultsAreTyped) {
    Pair p = socket_pair();
    EXPECT_EQ(p.connection.send_all("ab", 2).status, IoStatus::ok);
    char buf[8];
    ASSERT_EQ(::send(p.peer.get(), "xyz", 3, 0), 3);
    const platform::IoResult got = p.connection.receive(buf, sizeof buf);
    EXPECT_EQ(got.status, IoStatus::ok);
    EXPECT_EQ(got.count, 3u);
    EXPECT_GE(p.connection.zero_copy_socket(), 0);
    // A peer that reads nothing: the send limit ends the send.
    p.connection.set_send_limit(100);
    const std::string big(8 << 20, 'x');
    const platform::IoResult stalled = p.connection.send_all(big.data(), big.size());
    EXPECT_EQ(stalled.status, IoStatus::timed_out);
    p.peer.reset();
    EXPECT_EQ(p.connection.send_all("a", 1).status, IoStatus::failed);
    Pair q = socket_pair();
    q.peer.reset();
    EXPECT_EQ(q.connection.receive(buf, sizeof buf).status, IoStatus::closed);
}

TEST(SocketConnection, WaitForCloseLeavesDataAndSeesTheClose) {
    Pair p = socket_pair();
    ASSERT_EQ(::send(p.peer.get(), "PASS x\r\n", 8, 0), 8);
    // Data does not end the wait, and is still there after it.
    EXPECT_FALSE(p.connection.wait_for_close(50));
    char buf[16];
    EXPECT_EQ(p.connection.receive(buf, sizeof buf).count, 8u);
    // A close is seen, also behind data not yet read.
    ASSERT_EQ(::send(p.peer.get(), "USER y\r\n", 8, 0), 8);
    p.peer.reset();
    EXPECT_TRUE(p.connection.wait_for_close(10000));
    EXPECT_EQ(p.connection.receive(buf, sizeof buf).count, 8u);
}

TEST(MemoryConnection, TheEngineMovesEveryByteWithoutAZeroCopySocket) {
    const fs::path dir = fs::temp_directory_path() / ("kesto_conn_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    std::string body(300 * 1024, '\0');
    for (std::size_t i = 0; i < body.size(); ++i) body[i] = static_cast<char>(i * 31);
    std::ofstream(dir / "F", std::ios::binary) << body;

    test::MemoryConnection out;
    UniqueFd file;
    ASSERT_EQ(platform::open_for_reading(platform::entry_at_path((dir / "F").string()), file),
              platform::FileOpen::ok);
    EXPECT_EQ(
        server::send_file(kNoLog, out, std::move(file), server::RepresentationType::IMAGE, 7, 0),
        server::TRANSFER_OK);
    EXPECT_EQ(out.sent(), body.substr(7));

    test::MemoryConnection in(body);
    EXPECT_EQ(server::receive_file(kNoLog, in, platform::entry_at_path((dir / "G").string()),
                                   server::RepresentationType::IMAGE, 0, server::ReceiveMode::store,
                                   1000),
              server::TRANSFER_OK);
    std::ifstream stored(dir / "G", std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(stored), {}), body);
    fs::remove_all(dir);
}
