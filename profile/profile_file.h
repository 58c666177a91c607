#pragma once
// profile_read and profile_write: one key of a profile file, read or edited in place.
// Each call reads the whole file; nothing is cached. Thread safe: a writer replaces
// the file atomically, so a reader on another thread or process sees the old or the
// new file, never a short one.

#include <cstddef>
#include <string>
#include <string_view>

namespace kesto::profile {

// Larger files are treated as unreadable rather than loaded whole.
inline constexpr std::size_t kMaxProfileBytes = 16 * 1024 * 1024;

// A profile file read once, for several lookups in one consistent snapshot. A file
// that cannot be read gives the defaults.
class ProfileSnapshot {
  public:
    explicit ProfileSnapshot(const char* path);
    // The value (at most `max_chars` characters), or at most `max_chars` of `fallback`.
    [[nodiscard]] std::string read(std::string_view section, std::string_view key,
                                   std::string_view fallback, std::size_t max_chars) const;

  private:
    std::string content_;
    bool loaded_ = false;
};

// Stores the value of `key` in `section` (or `default_value`, nullptr for the empty
// text) into `dest`, terminated, at most `size` - 1 characters; returns their count.
int profile_read(const char* section, const char* key, const char* default_value, char* dest,
                 std::size_t size, const char* path);

// Sets `key` to `value`; a null `value` deletes the key, a null `key` the section.
// A null `section` does nothing; a file that does not exist is not created.
// Always returns 1.
int profile_write(const char* section, const char* key, const char* value, const char* path);

}  // namespace kesto::profile
