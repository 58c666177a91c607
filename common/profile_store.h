#pragma once
// ProfileStore: the manager's access to its profile file (the format and the edits of
// profile/profile_engine.h), with typed reads that complete the file with their
// defaults, typed writes, optional in-memory caching, and safe sharing with other
// processes:
//   - every change replaces the file atomically (temporary file, flush, rename), so a
//     reader (the server at a login) never sees a half-written file;
//   - every read-modify-write holds an exclusive lock on "<file>.lock" and re-reads
//     the file under it, so two writers never lose each other's change;
//   - a change that cannot reach the file is recorded (last_write_failed) rather than
//     lost silently.
// Used from one thread (the manager's user-interface thread).

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "profile/profile_engine.h"

namespace kesto::common {

// New sections are named with at most 63 characters, new keys with at most 1017.
inline constexpr profile::NameLimits kStoreNameLimits{63, 1017};
// A new profile file is readable by its owner only: it holds passwords.
inline constexpr unsigned kNewProfileMode = 0600;

class ProfileStore {
  public:
    ProfileStore() = default;
    explicit ProfileStore(std::string path) { (void)open(std::move(path)); }

    // Binds the store to `path` and proves that the file can be written: VERSION is
    // written as 400 into [INIFILEVERSION], read back, then set to 200. False for an
    // empty path.
    bool open(std::string path);
    [[nodiscard]] const std::string& path() const { return path_; }
    // The write test of open failed: every later change is refused.
    [[nodiscard]] bool is_read_only() const { return read_only_; }
    // The last change did not reach the file (cleared by the next one that does).
    [[nodiscard]] bool last_write_failed() const { return last_write_failed_; }

    // The value of `key` in `section` (at most `max_chars` characters). When the file,
    // the section or the key is missing, `fallback` is returned and written into the
    // file as the key's value.
    std::string read_text(std::string_view section, std::string_view key, std::string_view fallback,
                          std::size_t max_chars = 1023);
    // The leading decimal number; text without one takes `fallback`, a value outside
    // [min, max] the nearer bound, and either is written back to repair the file.
    int read_int(std::string_view section, std::string_view key, int fallback, int min, int max);
    unsigned read_uint(std::string_view section, std::string_view key, unsigned fallback,
                       unsigned min, unsigned max);
    // read_uint within 0..65535.
    unsigned read_word(std::string_view section, std::string_view key, unsigned fallback,
                       unsigned min, unsigned max);
    int write_int(std::string_view section, std::string_view key, int value);
    // True for "yes" in any letter case and for "1"; missing: `fallback`, written back.
    bool read_flag(std::string_view section, std::string_view key, bool fallback);
    bool write_flag(std::string_view section, std::string_view key, bool value);
    // Line breaks are removed; a value that begins or ends with whitespace or a double
    // quote is stored between double quotes, which the reader removes again.
    void write_text(std::string_view section, std::string_view key, std::string_view value);
    void delete_key(std::string_view section, std::string_view key);
    void delete_section(std::string_view section);

    // While caching, reads come from memory and changes collect there until flush.
    // Returns the previous setting; switching it off flushes.
    bool set_caching(bool on);
    // Writes the collected changes (re-applied to the file as it is now, under the
    // lock, so another writer's changes in between survive) and drops the memory copy.
    void flush();

  private:
    struct Edit {
        std::string section;
        std::optional<std::string> key;
        std::optional<std::string> value;
        bool only_if_missing = false;  // the write-back of a default
    };

    // The value, or nothing; `readable` tells a missing key from a file that could
    // not be read (whose defaults are not written back).
    std::optional<std::string> lookup(std::string_view section, std::string_view key,
                                      std::size_t max_chars, bool& readable);
    std::optional<std::string> lookup_cached(std::string_view section, std::string_view key,
                                             std::size_t max_chars, bool& readable);
    bool ensure_buffer();
    void change(Edit edit);
    bool writes_version_probe();
    bool run_write_test();
    template <class T>
    T read_number(std::string_view section, std::string_view key, T fallback, T min, T max);

    std::string path_;
    bool read_only_ = true;
    bool testing_ = false;
    bool last_write_failed_ = false;
    bool caching_ = false;
    std::optional<std::string> buffer_;  // the content while caching
    std::vector<Edit> pending_;          // the changes made to it since it was loaded
    std::string cached_section_;         // the section found last in buffer_ ...
    std::size_t cached_body_ = 0;        // ... and where its body starts
    bool section_cached_ = false;
};

}  // namespace kesto::common
