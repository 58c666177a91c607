#pragma once
// Failures of system calls travel as the system's error number (0: none), because log
// lines show that number as it is. Code outside the platform layer never compares it
// with errno constants: it asks these questions.

namespace kesto::platform {

// The entry named does not exist (ENOENT).
[[nodiscard]] bool no_such_entry(int error);
// The entry, or a folder on its path, does not exist or is no folder (ENOENT, ENOTDIR).
[[nodiscard]] bool no_such_path(int error);
// Another socket holds the address (EADDRINUSE).
[[nodiscard]] bool address_in_use(int error);
// The process or the system has no descriptor left (EMFILE, ENFILE).
[[nodiscard]] bool out_of_descriptors(int error);
// The device failed, not the peer (EIO).
[[nodiscard]] bool device_failed(int error);
// Another process holds the lock asked for (EWOULDBLOCK).
[[nodiscard]] bool lock_is_busy(int error);

}  // namespace kesto::platform
