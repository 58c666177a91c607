#pragma once
// The error numbers of the system in the form the manager's libraries report them: the
// numbers Windows gives for the same failures, so that one table turns either system's
// failures into catalogue texts (common/error_codes.h).

namespace kesto::platform {

// The calling thread's last system error (errno).
[[nodiscard]] int last_system_error();

// The Windows error number of the same meaning as `system_error`: file and device
// errors as Windows reports them for files, socket errors as Windows Sockets numbers
// (10004 and up). 0 stays 0; a number without a counterpart gives 1627, which no row
// of the library's table lists, so that it shows as the general failure.
[[nodiscard]] int windows_error_number(int system_error);

}  // namespace kesto::platform
