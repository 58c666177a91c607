#include "platform/main_thread_queue.h"

namespace kesto::platform {

void MainThreadQueue::run() {
    std::unique_lock lock(mutex_);
    queue_thread_ = std::this_thread::get_id();
    running_ = true;
    while (running_) {
        queued_.wait(lock, [&] { return !queue_.empty(); });
        Message* message = queue_.front();
        queue_.pop_front();
        lock.unlock();
        message->task();
        lock.lock();
        // Notified under the lock: the sender cannot leave (and destroy the message)
        // before this call is done with it.
        message->done = true;
        message->handled.notify_one();
    }
    ended_ = true;
    // Senders still waiting are released with their tasks not run, as after a window
    // is destroyed.
    for (Message* message : queue_) {
        message->done = true;
        message->handled.notify_one();
    }
    queue_.clear();
}

void MainThreadQueue::send(const Task& task) {
    std::unique_lock lock(mutex_);
    if (ended_) return;
    if (running_ && std::this_thread::get_id() == queue_thread_) {
        lock.unlock();
        task();
        return;
    }
    Message message{task, false, {}};
    queue_.push_back(&message);
    queued_.notify_one();
    message.handled.wait(lock, [&] { return message.done; });
}

void MainThreadQueue::quit() {
    std::lock_guard lock(mutex_);
    running_ = false;
}

}  // namespace kesto::platform
