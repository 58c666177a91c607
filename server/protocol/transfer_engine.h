#pragma once
// The transfer engine: moves the bytes of one file between the disk and a data
// connection that the caller has opened, in stream mode and file structure. Only the
// EBCDIC type changes bytes; no line ends are converted. The caller resolves the path,
// sends every reply and closes the data connection. Each call is self-contained and
// runs on the calling session's thread; the file is closed before it returns.

#include <cstdint>
#include <string>

#include "platform/connection.h"
#include "platform/files.h"
#include "server/log/event_log.h"

namespace kesto::server {

// The session's TYPE.
enum class RepresentationType : int { ASCII = 1, EBCDIC = 2, IMAGE = 3, LOCAL = 4 };

enum TransferResult : int {
    TRANSFER_OK = 0,
    TRANSFER_ABORTED = 1,      // the data connection failed
    TRANSFER_FILE_ERROR = 2,   // the file could not be opened or read, or a negative offset
    TRANSFER_WRITE_ERROR = 3,  // writing to the file failed (receive_file only)
    TRANSFER_TIMED_OUT = 4,    // not one byte moved within the idle limit
};

// How receive_file opens its file: STOR and STOU create it or empty it (STOR with a
// restart offset opens the existing file instead, without emptying it); APPE creates
// a missing file and adds to the end of an existing one.
enum class ReceiveMode : int { store = 1, store_unique = 2, append = 3 };

// Sends `file`, a regular file the caller opened when it checked the command (an empty
// descriptor: it could not be opened), from `restart_offset` (bytes of the stored file)
// to the end; an offset at or past the end sends nothing. Logs "Send file" for an open
// file. `idle_timeout_ms` <= 0: no limit. Returns TRANSFER_OK, _ABORTED (after logging
// the send error), _FILE_ERROR (nothing sent) or _TIMED_OUT.
[[nodiscard]] TransferResult send_file(const LogPoster& log, platform::Connection& data,
                                       platform::UniqueFd file, RepresentationType type,
                                       std::int64_t restart_offset, int idle_timeout_ms);

// Stores what arrives on `socket` until the peer closes it, at `restart_offset` of the
// regular file `target` names. The bytes written before a failure stay in the file.
[[nodiscard]] TransferResult receive_file(const LogPoster& log, platform::Connection& data,
                                          const platform::Entry& target, RepresentationType type,
                                          std::int64_t restart_offset, ReceiveMode mode,
                                          int idle_timeout_ms);

}  // namespace kesto::server
