#pragma once
// Stand-ins for a process that took a program folder's control name before the
// server: in this process (our own user id), or in a child of another user id.

#include <sys/types.h>

#include <string>
#include <thread>

#include "platform/unique_fd.h"

namespace kesto::test {

// A listening socket on the folder's name; invalid when the name is taken.
platform::UniqueFd bind_name(const std::string& folder);

// A connection to the folder's name that never sends a byte; invalid when refused.
platform::UniqueFd silent_connection(const std::string& folder);

// Holds the name in this process and answers every request with `answer`; with an
// empty `answer` it never accepts a connection, so nothing is ever answered.
class NameHolder {
  public:
    NameHolder(const std::string& folder, std::string answer);
    ~NameHolder();
    NameHolder(const NameHolder&) = delete;
    NameHolder& operator=(const NameHolder&) = delete;
    bool holding() const { return static_cast<bool>(listener_); }

  private:
    void serve();
    platform::UniqueFd listener_;
    platform::UniqueFd wake_;
    std::string answer_;
    std::thread thread_;
};

// A child process running as user `uid` that holds the name and answers probes and
// stop requests exactly as a server does. Ended by its PID on destruction.
class ForeignHolder {
  public:
    ForeignHolder(const std::string& folder, uid_t uid);
    ~ForeignHolder();
    ForeignHolder(const ForeignHolder&) = delete;
    ForeignHolder& operator=(const ForeignHolder&) = delete;
    bool holding() const { return holding_; }

  private:
    pid_t pid_ = -1;
    bool holding_ = false;
};

}  // namespace kesto::test
