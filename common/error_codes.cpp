#include "common/error_codes.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <iterator>

#include "platform/system_errors.h"

namespace kesto::common {

namespace {

struct CodeRow {
    unsigned windows;
    unsigned code;
};

// File, device and memory errors.
constexpr CodeRow kFileRows[] = {
    {0, kSuccess},
    {2, 12},  // file not found
    {3, 14},  // path not found
    {4, 15},  // too many open files
    {5, kAccessDenied},
    {8, 17},   // not enough memory
    {14, 17},  // out of memory
    {15, 18},  // invalid drive
    {18, 19},  // no more files
    {19, 20},  // write-protected
    {21, 22},  // device not ready
    {31, 63},  // device failed
    {32, 29},  // sharing violation
    {33, 30},  // lock violation
    {39, 32},  // disk full
    {80, 45},  // file exists
    {82, kCannotMake},
    {112, 52},  // disk full
    {123, kInvalidName},
    {145, 256},  // folder not empty
    {183, 56},   // already exists
    {206, 57},   // name too long
    {267, 60},   // folder name invalid
};

// Windows Sockets errors take the codes from 200 on, in the order of their numbers.
constexpr unsigned kFirstSocketCode = 200;
constexpr unsigned kContiguousSocketFirst = 10035;
constexpr unsigned kContiguousSocketLast = 10071;
constexpr unsigned kSocketNumbersBefore[] = {10004, 10009, 10013, 10014, 10022, 10024};
constexpr unsigned kSocketNumbersAfter[] = {11001, 11004};
constexpr std::size_t kSocketCount = std::size(kSocketNumbersBefore) +
                                     (kContiguousSocketLast - kContiguousSocketFirst + 1) +
                                     std::size(kSocketNumbersAfter);

constexpr std::array<unsigned, kSocketCount> kSocketNumbers = [] {
    std::array<unsigned, kSocketCount> numbers{};
    std::size_t n = 0;
    for (const unsigned number : kSocketNumbersBefore) numbers[n++] = number;
    for (unsigned number = kContiguousSocketFirst; number <= kContiguousSocketLast; ++number) {
        numbers[n++] = number;
    }
    for (const unsigned number : kSocketNumbersAfter) numbers[n++] = number;
    return numbers;
}();

constexpr unsigned code_of(unsigned windows_error) {
    for (const CodeRow& row : kFileRows) {
        if (row.windows == windows_error) return row.code;
    }
    for (std::size_t i = 0; i < kSocketNumbers.size(); ++i) {
        if (kSocketNumbers[i] == windows_error) return kFirstSocketCode + static_cast<unsigned>(i);
    }
    return kGeneralFailure;
}

static_assert(code_of(10004) == 200 && code_of(10061) == 232 && code_of(11004) == 244);
static_assert(code_of(145) == 256 && code_of(1627) == kGeneralFailure);

}  // namespace

unsigned map_error(int system_error) {
    if (system_error == -1) system_error = platform::last_system_error();
    const int windows_error = platform::windows_error_number(system_error);
    if (windows_error < 0) return kGeneralFailure;
    return map_windows_error(static_cast<unsigned>(windows_error));
}

unsigned map_windows_error(unsigned windows_error) {
    return code_of(windows_error);
}

std::vector<unsigned> library_error_codes() {
    std::vector<unsigned> codes{kGeneralFailure};
    for (const CodeRow& row : kFileRows) {
        if (row.code != kSuccess) codes.push_back(row.code);
    }
    for (std::size_t i = 0; i < kSocketNumbers.size(); ++i) {
        codes.push_back(kFirstSocketCode + static_cast<unsigned>(i));
    }
    std::sort(codes.begin(), codes.end());
    codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
    return codes;
}

}  // namespace kesto::common
