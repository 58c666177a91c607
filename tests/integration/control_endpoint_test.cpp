// The control endpoint on its own: probes and stops of our own endpoint, holders of the
// name that are not a server, and a stop beside a crowd of silent peers.
#include "platform/control_endpoint.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <future>
#include <vector>

#include "name_holder.h"
#include "test_server.h"

using namespace kesto::test;
using kesto::platform::ControlEndpoint;
using kesto::platform::Presence;
using kesto::platform::StopOutcome;

namespace {

// The name is taken from the folder's text when the folder does not exist.
std::string folder_for(const char* test) {
    return "/nonexistent/kesto-endpoint-" + std::to_string(::getpid()) + "/" + test;
}

// An endpoint served as the server serves it: the stop closes the name.
struct ServedEndpoint {
    explicit ServedEndpoint(const std::string& folder) {
        bound = endpoint.bind(folder) == 0;
        if (bound)
            endpoint.start([this] {
                stops.fetch_add(1);
                endpoint.close();
            });
    }
    ControlEndpoint endpoint;
    std::atomic<int> stops{0};
    bool bound = false;
};

}  // namespace

TEST(ControlEndpoint, ProbeAndStopOfOurServer) {
    const std::string folder = folder_for("own");
    ServedEndpoint served(folder);
    ASSERT_TRUE(served.bound);
    ControlEndpoint second;
    EXPECT_EQ(second.bind(folder), EADDRINUSE);
    EXPECT_EQ(kesto::platform::probe_server(folder), Presence::server);
    EXPECT_EQ(kesto::platform::request_stop(folder), StopOutcome::stopped);
    EXPECT_EQ(served.stops.load(), 1);
    // The name was closed before the stop was answered.
    EXPECT_EQ(kesto::platform::probe_server(folder), Presence::none);
    EXPECT_EQ(kesto::platform::request_stop(folder), StopOutcome::not_running);
}

TEST(ControlEndpoint, HoldersThatDoNotAnswerAsAServerAreNotBelieved) {
    const std::string folder = folder_for("impostor");
    struct Case {
        std::string answer;
        Presence probe;
    };
    // Silent; the one-byte "allowed" of older servers; another protocol; a holder
    // that answers probes rightly but stop requests with the same word.
    for (const Case& c : {Case{"", Presence::not_a_server}, Case{"\x01", Presence::not_a_server},
                          Case{"HTTP/1.0 400 Bad Request\r\n", Presence::not_a_server},
                          Case{"KFTP", Presence::server}}) {
        NameHolder holder(folder, c.answer);
        ASSERT_TRUE(holder.holding());
        EXPECT_EQ(kesto::platform::probe_server(folder), c.probe) << c.answer;
        EXPECT_EQ(kesto::platform::request_stop(folder), StopOutcome::not_a_server) << c.answer;
    }
}

TEST(ControlEndpoint, SilentPeersDoNotDelayAStop) {
    const std::string folder = folder_for("crowd");
    ServedEndpoint served(folder);
    ASSERT_TRUE(served.bound);
    std::vector<kesto::platform::UniqueFd> crowd;
    for (int i = 0; i < 100; ++i) {
        auto fd = silent_connection(folder);
        if (fd) crowd.push_back(std::move(fd));
    }
    ASSERT_GE(crowd.size(), 10u);
    auto stop =
        std::async(std::launch::async, [&] { return kesto::platform::request_stop(folder); });
    // Served one by one, each silent peer would hold the stop for its whole time limit.
    ASSERT_TRUE(wait_until(
        [&] { return stop.wait_for(std::chrono::seconds(0)) == std::future_status::ready; }, 5s));
    EXPECT_EQ(stop.get(), StopOutcome::stopped);
}
