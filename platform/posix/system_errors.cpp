#include "platform/system_errors.h"

#include <cerrno>

namespace kesto::platform {

namespace {

struct ErrorPair {
    int system;
    int windows;
};

// Rows with the same errno value on Linux (EAGAIN and EWOULDBLOCK) are harmless: the
// first one answers.
constexpr ErrorPair kWindowsNumbers[] = {
    {0, 0},
    // Files and devices.
    {ENOENT, 2},  // file not found
    {ELOOP, 3},   // path not found
    {EMFILE, 4},  // too many open files
    {ENFILE, 4},
    {EACCES, 5},  // access denied
    {EPERM, 5},
    {EISDIR, 5},  // as Windows answers a file operation on a folder
    {ENOMEM, 8},  // not enough memory
    {EROFS, 19},  // write-protected
    {ENXIO, 21},  // device not ready
    {ENODEV, 21},
    {EIO, 31},    // device failed
    {EBUSY, 32},  // sharing violation
    {ETXTBSY, 32},
    {ENOSPC, 112},  // disk full
    {EDQUOT, 112},
    {EFBIG, 112},
    {ENOTEMPTY, 145},     // folder not empty
    {EEXIST, 183},        // already exists
    {ENAMETOOLONG, 206},  // name too long
    {ENOTDIR, 267},       // folder name invalid
    // Sockets, as Windows Sockets numbers them.
    {EINTR, 10004},
    {EFAULT, 10014},
    {EAGAIN, 10035},
    {EWOULDBLOCK, 10035},
    {EINPROGRESS, 10036},
    {EALREADY, 10037},
    {ENOTSOCK, 10038},
    {EDESTADDRREQ, 10039},
    {EMSGSIZE, 10040},
    {EPROTOTYPE, 10041},
    {ENOPROTOOPT, 10042},
    {EPROTONOSUPPORT, 10043},
    {ESOCKTNOSUPPORT, 10044},
    {EOPNOTSUPP, 10045},
    {EPFNOSUPPORT, 10046},
    {EAFNOSUPPORT, 10047},
    {EADDRINUSE, 10048},
    {EADDRNOTAVAIL, 10049},
    {ENETDOWN, 10050},
    {ENETUNREACH, 10051},
    {ENETRESET, 10052},
    {ECONNABORTED, 10053},
    {ECONNRESET, 10054},
    {ENOBUFS, 10055},
    {EISCONN, 10056},
    {ENOTCONN, 10057},
    {ESHUTDOWN, 10058},
    {ETOOMANYREFS, 10059},
    {ETIMEDOUT, 10060},
    {ECONNREFUSED, 10061},
    {EHOSTDOWN, 10064},
    {EHOSTUNREACH, 10065},
    {EUSERS, 10068},
    {ESTALE, 10070},
    {EREMOTE, 10071},
};

constexpr int kNoCounterpart = 1627;

}  // namespace

int last_system_error() {
    return errno;
}

int windows_error_number(int system_error) {
    for (const ErrorPair& pair : kWindowsNumbers) {
        if (pair.system == system_error) return pair.windows;
    }
    return kNoCounterpart;
}

}  // namespace kesto::platform
