#pragma once
// Whole-file reads and the atomic replace of a file.
// Thread safe: every function works on its own descriptors and buffers.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace kesto::platform {

enum class ReadResult { ok, missing, too_large, failed };

// Reads the whole file into `out`. A file larger than `max_bytes` is not read.
[[nodiscard]] ReadResult read_whole_file(const std::string& path, std::string& out,
                                         std::size_t max_bytes);

// The newest bytes of a file that grows: those from `offset` to the end, at most the last
// `max_bytes` of them. `start` is where they begin: later than `offset` when more were
// there, and the file's first bytes are read afresh (from 0 on) when the file has become
// shorter than `offset`, since it was then replaced or cut.
struct FileTail {
    ReadResult result = ReadResult::failed;
    std::uint64_t start = 0;
    std::string bytes;
};

[[nodiscard]] FileTail read_file_tail(const std::string& path, std::uint64_t offset,
                                      std::size_t max_bytes);

// Replaces the content of an existing file so that a reader sees either the old or
// the new content, never a mix: the new content goes to a temporary file in the same
// folder, is flushed to disk, takes the old file's mode and owner, and is renamed
// over the old one. A symbolic link is followed: the file it points to is replaced.
// Returns 0 on success, else an errno value; the old file is then untouched.
[[nodiscard]] int replace_file_atomically(const std::string& path, std::string_view content);

// The same, and a missing file is created with exactly `new_file_mode` (the umask is
// not read: it is process-wide state that another thread may be changing).
[[nodiscard]] int write_file_atomically(const std::string& path, std::string_view content,
                                        unsigned new_file_mode);

}  // namespace kesto::platform

namespace kesto::platform {

// How much of a line reached the file, and the error that stopped the rest (0: none).
struct AppendResult {
    std::size_t written = 0;
    int error = 0;
};

// Whether `error` means that the disk (or the user's quota) is full: it passes once
// files are removed, unlike a broken file.
[[nodiscard]] bool is_disk_full(int error);

// A file opened for appending whole lines: each line is one write(2) on a descriptor
// opened with O_APPEND, so lines of concurrent writers never interleave.
class AppendFile {
  public:
    // 0 or errno. Creates the file when it is missing.
    [[nodiscard]] int open(const std::string& path);
    // Writes the line; only a short write (a disk filling up) takes a second write,
    // which then reports the error.
    [[nodiscard]] AppendResult write_line(std::string_view line);
    void close();
    bool is_open() const { return fd_ >= 0; }

    AppendFile() = default;
    AppendFile(const AppendFile&) = delete;
    AppendFile& operator=(const AppendFile&) = delete;
    ~AppendFile() { close(); }

  private:
    int fd_ = -1;
};

}  // namespace kesto::platform
