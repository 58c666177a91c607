#include "server/protocol/listener.h"

#include <chrono>
#include <cstring>
#include <string>
#include <thread>

#include "platform/errors.h"
#include "platform/process.h"
#include "server/protocol/address_sessions.h"
#include "server/protocol/session.h"

namespace kesto::server {

namespace {

constexpr std::string_view kBusyReply =
    "421 Service not available, closing control connection.\r\n";
// The descriptor table is full: give other sessions a moment to close theirs.
constexpr auto kDescriptorPause = std::chrono::milliseconds(100);

void log_listener(const ServerContext& context, LogLevel level, const std::string& message) {
    context.log.post(level, "(Listener) " + message);
}

int find_free_slot(const ClientSlots& slots) {
    for (int i = 0; i < kMaxClients; ++i) {
        if (slots[static_cast<std::size_t>(i)].in_use.load(std::memory_order_acquire) == 0)
            return i;
    }
    return -1;
}

void refuse_busy(platform::UniqueFd connection) {
    (void)platform::send_all(connection.get(), kBusyReply.data(), kBusyReply.size());
}

// MAX_CLIENTS_PER_ADDRESS: refused like a connection that finds every slot taken.
void refuse_crowded(const ServerContext& context, platform::UniqueFd connection,
                    const platform::Endpoint& peer) {
    log_listener(
        context, LogLevel::informational,
        "Too many connections from " + platform::to_text(peer.address) + ", connection refused.");
    refuse_busy(std::move(connection));
}

void hand_over(ServerContext& context, int index, platform::UniqueFd connection,
               const platform::Endpoint& peer) {
    ClientSlot& slot = context.slots[static_cast<std::size_t>(index)];
    slot.in_use.store(1, std::memory_order_relaxed);
    slot.control = std::move(connection);
    slot.peer = peer;
    const std::string text = platform::to_text(peer.address);
    std::snprintf(slot.address_text, sizeof slot.address_text, "%s", text.c_str());
    log_listener(context, LogLevel::informational, "New incomming connection from " + text);
    log_listener(context, LogLevel::extreme, "Using client handle " + std::to_string(index));
    if (!platform::start_detached_thread([&context, &slot] { run_session(context, slot); })) {
        slot.control.reset();
        slot.in_use.store(0, std::memory_order_release);
        log_listener(context, LogLevel::fatal, "Unable to create ftp client process.");
    }
}

ListenerEnd accept_loop(ServerContext& context, platform::Acceptor& acceptor) {
    for (;;) {
        platform::UniqueFd connection;
        platform::Endpoint peer;
        int error = 0;
        switch (acceptor.accept(connection, &peer, error)) {
            case platform::AcceptStatus::closed:
                return ListenerEnd::stopped;
            case platform::AcceptStatus::failed:
                log_listener(context, LogLevel::fatal, "Unable to accept calls anymore.");
                return ListenerEnd::failed;
            case platform::AcceptStatus::retry:
                if (platform::out_of_descriptors(error))
                    std::this_thread::sleep_for(kDescriptorPause);
                continue;
            case platform::AcceptStatus::accepted:
                break;
        }
        const int index = find_free_slot(context.slots);
        if (index < 0) {
            refuse_busy(std::move(connection));
        } else if (address_at_limit(context.slots, peer.address,
                                    context.config.max_clients_per_address)) {
            refuse_crowded(context, std::move(connection), peer);
        } else {
            hand_over(context, index, std::move(connection), peer);
        }
    }
}

const char* listen_failure_text(platform::ListenStage stage) {
    switch (stage) {
        case platform::ListenStage::create:
            return "Unable to create socket.";
        case platform::ListenStage::bind:
            return "Unable to bind socket.";
        default:
            return "Listening to socket failed.";
    }
}

}  // namespace

bool ListenerStop::attach(platform::Acceptor* acceptor) {
    std::lock_guard lock(mutex_);
    if (stopped_) return false;
    acceptor_ = acceptor;
    return true;
}

void ListenerStop::detach() {
    std::lock_guard lock(mutex_);
    acceptor_ = nullptr;
}

void ListenerStop::stop() {
    std::lock_guard lock(mutex_);
    stopped_ = true;
    if (acceptor_ != nullptr) acceptor_->close();
}

namespace {

// Opens one listening socket and logs where it listens; false after logging why not.
bool open_listening(ServerContext& context, const platform::Endpoint& local, int backlog,
                    platform::UniqueFd& socket) {
    int error = 0;
    const platform::ListenStage stage = platform::listen_tcp(local, backlog, socket, error);
    if (stage != platform::ListenStage::ok) {
        log_listener(context, LogLevel::fatal, listen_failure_text(stage));
        log_listener(context, LogLevel::fatal, "Listener terminated.");
        return false;
    }
    log_listener(context, LogLevel::informational,
                 "Listener started, listing on IP " + platform::to_text(local.address));
    return true;
}

}  // namespace

ListenerEnd run_listener(ServerContext& context, int backlog, ListenerStop& stop) {
    const ServerConfig& config = context.config;
    platform::UniqueFd socket;
    if (!open_listening(context, {config.bind_address, config.port}, backlog, socket))
        return ListenerEnd::failed;
    // IPv6 clients come in on a listener of their own; both share the client slots.
    platform::UniqueFd socket6;
    if (config.bind_address6 &&
        !open_listening(context, {*config.bind_address6, config.port}, backlog, socket6)) {
        return ListenerEnd::failed;
    }
    platform::Acceptor acceptor(std::move(socket), std::move(socket6));
    if (!stop.attach(&acceptor)) return ListenerEnd::stopped;
    const ListenerEnd end = accept_loop(context, acceptor);
    stop.detach();
    acceptor.close();
    if (end == ListenerEnd::failed) log_listener(context, LogLevel::fatal, "Listener terminated.");
    return end;
}

}  // namespace kesto::server
