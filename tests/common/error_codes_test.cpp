#include "common/error_codes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>

namespace kesto::common {
namespace {

TEST(MapError, AnchorsOfTheTable) {
    EXPECT_EQ(map_error(0), kSuccess);
    EXPECT_EQ(map_error(ENOENT), 12U);
    EXPECT_EQ(map_error(ENOSPC), 52U);
    EXPECT_EQ(map_error(ENOTEMPTY), 256U);
    EXPECT_EQ(map_error(ENOTDIR), 60U);
    EXPECT_EQ(map_error(EINTR), 200U);
    EXPECT_EQ(map_error(ECONNREFUSED), 232U);
    EXPECT_EQ(map_error(EREMOTE), 242U);
    EXPECT_EQ(map_windows_error(11004), 244U);
    EXPECT_EQ(map_windows_error(10034), kGeneralFailure);  // a gap between socket numbers
    EXPECT_EQ(map_error(EDOM), kGeneralFailure);           // unlisted
    EXPECT_EQ(map_error(100000), kGeneralFailure);
}

TEST(MapError, MinusOneReadsTheLastError) {
    errno = EEXIST;
    EXPECT_EQ(map_error(-1), 56U);
    errno = ECONNREFUSED;
    EXPECT_EQ(map_error(-1), 232U);
}

// Each system error the platform names must reach a row of the table, not the general
// failure: a Windows number mistyped on either side shows up here.
TEST(MapError, EveryNamedSystemErrorHasItsOwnCode) {
    for (const int error :
         {ENOENT,       ENOTDIR,      ELOOP,           EMFILE,          ENFILE,       EACCES,
          EPERM,        EISDIR,       ENOMEM,          EROFS,           ENXIO,        ENODEV,
          EIO,          EBUSY,        ETXTBSY,         EEXIST,          ENOSPC,       EDQUOT,
          EFBIG,        ENAMETOOLONG, ENOTEMPTY,       EINTR,           EFAULT,       EAGAIN,
          EWOULDBLOCK,  EINPROGRESS,  EALREADY,        ENOTSOCK,        EDESTADDRREQ, EMSGSIZE,
          EPROTOTYPE,   ENOPROTOOPT,  EPROTONOSUPPORT, ESOCKTNOSUPPORT, EOPNOTSUPP,   EPFNOSUPPORT,
          EAFNOSUPPORT, EADDRINUSE,   EADDRNOTAVAIL,   ENETDOWN,        ENETUNREACH,  ENETRESET,
          ECONNABORTED, ECONNRESET,   ENOBUFS,         EISCONN,         ENOTCONN,     ESHUTDOWN,
          ETOOMANYREFS, ETIMEDOUT,    ECONNREFUSED,    EHOSTDOWN,       EHOSTUNREACH, EUSERS,
          ESTALE,       EREMOTE}) {
        EXPECT_NE(map_error(error), kGeneralFailure) << "errno " << error;
    }
}

TEST(LibraryErrorCodes, EachCodeOnceWithTheGeneralFailure) {
    const std::vector<unsigned> codes = library_error_codes();
    ASSERT_TRUE(std::is_sorted(codes.begin(), codes.end()));
    EXPECT_EQ(std::adjacent_find(codes.begin(), codes.end()), codes.end());
    for (const unsigned code : {kGeneralFailure, 12U, 52U, 232U, 244U, 256U}) {
        EXPECT_TRUE(std::binary_search(codes.begin(), codes.end(), code)) << code;
    }
    EXPECT_FALSE(std::binary_search(codes.begin(), codes.end(), kSuccess));
    EXPECT_EQ(codes.size(), 67U);  // 21 file codes, 45 socket codes, the general one
}

}  // namespace
}  // namespace kesto::common
