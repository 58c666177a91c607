#pragma once
// The server's mailbox: a queue of tasks that the main thread runs one at a time, in
// the place of the hidden window a Windows server would post to. `send` blocks until
// its task has run, so a log line is on disk when its poster goes on.

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace kesto::platform {

class MainThreadQueue {
  public:
    using Task = std::function<void()>;

    MainThreadQueue() = default;
    MainThreadQueue(const MainThreadQueue&) = delete;
    MainThreadQueue& operator=(const MainThreadQueue&) = delete;

    // Runs the queue on the calling thread until `quit`. Call once.
    void run();

    // Any thread. From the queue's own thread the task runs at once; after the queue
    // has ended it returns at once without running the task.
    void send(const Task& task);

    // Ends the queue after the task being run. Meant for a task.
    void quit();

  private:
    struct Message {
        const Task& task;
        bool done = false;
        std::condition_variable handled;  // wakes only this message's sender
    };

    std::mutex mutex_;
    std::condition_variable queued_;
    std::deque<Message*> queue_;
    std::thread::id queue_thread_;
    bool running_ = false;
    bool ended_ = false;
};

}  // namespace kesto::platform
