#pragma once
// The listener: accepts control connections and gives each a client slot and a
// session thread. Runs on the start-up thread.

#include <memory>
#include <mutex>

#include "platform/net.h"
#include "server/protocol/server_context.h"

namespace kesto::server {

// Lets the stop handler (another thread) close the listening socket, also one that
// is opened only after the stop.
class ListenerStop {
  public:
    // False when the stop came first; the caller then does not listen.
    bool attach(platform::Acceptor* acceptor);
    void detach();
    void stop();  // any thread

  private:
    std::mutex mutex_;
    platform::Acceptor* acceptor_ = nullptr;
    bool stopped_ = false;
};

enum class ListenerEnd { failed, stopped };

// Listens on the configured address and port until the listening socket fails or
// the stop closes it. `failed` means it could not (or can no longer) serve.
ListenerEnd run_listener(ServerContext& context, int backlog, ListenerStop& stop);

}  // namespace kesto::server
