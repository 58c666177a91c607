#include "platform/message_loop.h"

namespace kesto::platform {

void MessageLoop::run() {
    std::unique_lock lock(mutex_);
    loop_thread_ = std::this_thread::get_id();
    running_ = true;
    while (running_) {
        queued_.wait(lock, [&] { return !queue_.empty(); });
        Message* message = queue_.front();
        queue_.pop_front();
        lock.unlock();
        message->result = handler_(message->command, message->param);
        lock.lock();
        // Notified under the lock: the sender cannot leave (and destroy the message)
        // before this call is done with it.
        message->done = true;
        message->handled.notify_one();
    }
    ended_ = true;
    // Posters still waiting are released unhandled, as after a window is destroyed.
    for (Message* message : queue_) {
        message->done = true;
        message->handled.notify_one();
    }
    queue_.clear();
}

std::intptr_t MessageLoop::send(int command, void* param) {
    std::unique_lock lock(mutex_);
    if (ended_) return 0;
    if (running_ && std::this_thread::get_id() == loop_thread_) {
        lock.unlock();
        return handler_(command, param);
    }
    Message message{command, param, 0, false, {}};
    queue_.push_back(&message);
    queued_.notify_one();
    message.handled.wait(lock, [&] { return message.done; });
    return message.result;
}

void MessageLoop::quit() {
    std::lock_guard lock(mutex_);
    running_ = false;
}

}  // namespace kesto::platform
