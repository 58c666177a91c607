#pragma once
// The operating-system side of file transfers: opening regular files for a transfer,
// block reads and writes at 64-bit offsets, the sendfile loop, and sends and waits on a
// data socket bounded by an idle limit (a time in which not one byte moves).
// Thread safe: every call works only on the descriptors and buffers it is given.

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/files.h"
#include "platform/unique_fd.h"

namespace kesto::platform {

enum class FileOpen { ok, missing, not_regular, failed };

// Opens a file for reading. Anything but a regular file (a FIFO, a device, a folder)
// is refused as not_regular, without blocking on it. A final link is never followed:
// resolution has followed it already, and one put in its place since is refused.
[[nodiscard]] FileOpen open_for_reading(const Entry& entry, UniqueFd& out);

enum class WriteMode {
    replace,    // create the file, or empty the existing one
    overwrite,  // open the existing file without emptying it; a missing file fails
    append,     // create the file when it is missing; every write goes to its end
};

// Opens a file for writing in `mode`. An existing file that is not regular is refused
// as not_regular and left untouched (nothing is emptied before the check).
[[nodiscard]] FileOpen open_for_writing(const Entry& entry, WriteMode mode, UniqueFd& out);

// The size of an open file; -1 when it cannot be read.
[[nodiscard]] std::int64_t file_size(int file);

// Positions `file` at `offset` bytes from its start (past the end leaves a gap that
// reads as zeros). 0 or errno.
[[nodiscard]] int seek_file(int file, std::int64_t offset);

// Reads up to `size` bytes at `offset`, short only at the end of the file: the count,
// 0 at the end, -1 with errno set on failure.
[[nodiscard]] long read_file_at(int file, std::int64_t offset, char* buffer, std::size_t size);

// Writes all `size` bytes at the file position. 0, or errno (ENOSPC when a write
// stops short without one). The bytes written before a failure stay in the file.
[[nodiscard]] int write_file(int file, const char* data, std::size_t size);

// `idle_timeout_ms` <= 0 in the calls below waits for ever.
enum class StreamStatus {
    done,
    timed_out,  // not one byte moved within the idle limit
    failed,     // `error` holds errno
    refused,    // sendfile cannot serve this pair of descriptors (EINVAL, ENOSYS)
};

// Sends all of `data` without raising SIGPIPE.
[[nodiscard]] StreamStatus send_within(int socket, const char* data, std::size_t size,
                                       int idle_timeout_ms, int& error);

// Where a sendfile loop stopped.
struct SendfileState {
    std::int64_t offset = 0;       // next byte of the file to send
    std::size_t last_request = 0;  // the count of the call that failed
    int error = 0;
};

// Sends `file` from `state.offset` with sendfile(2) until it reports the end of the
// file, so a file that grows or shrinks meanwhile is sent as it is then. The socket is
// non-blocking for the time of the call and gets its own mode back. On `refused`,
// `state.offset` is where a read-and-send loop takes over.
[[nodiscard]] StreamStatus sendfile_to_end(int socket, int file, int idle_timeout_ms,
                                           SendfileState& state);

// Where a splice loop stopped.
struct SpliceState {
    std::int64_t moved = 0;    // bytes stored in the file
    bool file_failed = false;  // the failure was the file's (a full disk), not the socket's
    int error = 0;
};

// Stores what arrives on `socket` into `file` at its position until the peer closes,
// through a pipe with splice(2), so the data is not copied through user space. The
// socket is non-blocking for the time of the call. `refused` (before anything was
// received) when splice cannot serve this pair; a file opened for appending is one.
[[nodiscard]] StreamStatus splice_to_end(int socket, int file, int idle_timeout_ms,
                                         SpliceState& state);

}  // namespace kesto::platform
