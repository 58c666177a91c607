#pragma once
// How the profile store shares its file with other processes: reads of the whole file,
// and changes made under an exclusive lock on "<file>.lock" and written by atomic
// replace. A busy lock or an unreadable file is retried after 1, 10, 15, 30, 50 and
// 100 ms; a lock whose holder keeps changing the file meanwhile (another writer making
// progress) is waited for longer, up to kLongestLockWait, so that two busy writers
// both get through instead of one giving up.

#include <chrono>
#include <functional>
#include <string>

namespace kesto::common {

inline constexpr std::chrono::milliseconds kRetryDelays[] = {
    std::chrono::milliseconds(1),  std::chrono::milliseconds(10), std::chrono::milliseconds(15),
    std::chrono::milliseconds(30), std::chrono::milliseconds(50), std::chrono::milliseconds(100)};
inline constexpr std::chrono::seconds kLongestLockWait{5};

// The file's content for lookups: zero bytes read as blanks, a file of fewer than two
// bytes (or none) as empty. False when the file exists but cannot be read.
bool load_profile_content(const std::string& path, std::string& content);

// Under the lock: loads the file, lets `edit` change the content, and writes it back
// when `edit` returns true. False when the lock, the read or the write failed (the
// file is then as it was).
bool change_profile_file(const std::string& path, const std::function<bool(std::string&)>& edit,
                         unsigned new_file_mode);

}  // namespace kesto::common
