#include "platform/errors.h"

#include <cerrno>

namespace kesto::platform {

bool no_such_entry(int error) {
    return error == ENOENT;
}

bool no_such_path(int error) {
    return error == ENOENT || error == ENOTDIR;
}

bool address_in_use(int error) {
    return error == EADDRINUSE;
}

bool out_of_descriptors(int error) {
    return error == EMFILE || error == ENFILE;
}

bool device_failed(int error) {
    return error == EIO;
}

bool lock_is_busy(int error) {
    return error == EWOULDBLOCK;
}

}  // namespace kesto::platform
