#pragma once
// The mailbox of the server's control window: a queue of commands handled one at a
// time by the thread that runs the loop. `send` blocks until the command has been
// handled, so a log line is on disk when its poster goes on.

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kesto::platform {

class MessageLoop {
  public:
    using Handler = std::function<std::intptr_t(int command, void* param)>;

    explicit MessageLoop(Handler handler) : handler_(std::move(handler)) {}
    MessageLoop(const MessageLoop&) = delete;
    MessageLoop& operator=(const MessageLoop&) = delete;

    // Runs the loop on the calling thread until `quit`. Call once.
    void run();

    // Any thread. From the loop's own thread the handler runs at once; after the loop
    // has ended it returns 0 at once without handling the command.
    std::intptr_t send(int command, void* param);

    // Ends the loop after the command being handled. Meant for the handler.
    void quit();

  private:
    struct Message {
        int command;
        void* param;
        std::intptr_t result = 0;
        bool done = false;
        std::condition_variable handled;  // wakes only this message's sender
    };

    Handler handler_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<Message*> queue_;
    std::thread::id loop_thread_;
    bool running_ = false;
    bool ended_ = false;
};

}  // namespace kesto::platform
