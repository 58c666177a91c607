// The listing formats, byte for byte: the worked examples in every emulation and name
// list, and the edges where a client's parser would break.
#include "server/formats/listing_format.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <limits>
#include <string>
#include <vector>

namespace fmt = kesto::formats;
using fmt::DirEntry;
using fmt::LineAction;
using fmt::LineCode;
using fmt::ListingKind;
using fmt::SystemType;

namespace {

// Central European time with its summer rule, so that a UTC mix-up shows.
class ListingTest : public ::testing::Test {
  protected:
    void SetUp() override {
        setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
        tzset();
    }
};

// 2008-03-05 14:07, 2008-11-20 09:15 and 2007-12-24 00:05 local time.
std::vector<DirEntry> worked_example() {
    return {{"PART1.NC", false, false, 1234, 1204722420},
            {"PROGRAMS", true, false, 0, 1227168900},
            {"SETUP.BAT", false, true, 987, 1198451100}};
}

std::string listing(const std::vector<DirEntry>& entries, ListingKind kind,
                    SystemType system = SystemType::UNIX, LineCode code = LineCode::ascii) {
    std::string out;
    for (const auto& line : fmt::format_listing(entries, kind, system, code)) out += line;
    return out;
}

std::string list(SystemType system) {
    return listing(worked_example(), ListingKind::LIST_LONG, system);
}

std::tm at(int year, int month, int day, int hour, int minute) {
    std::tm t{};
    t.tm_year = year - 1900;
    t.tm_mon = month - 1;
    t.tm_mday = day;
    t.tm_hour = hour;
    t.tm_min = minute;
    return t;
}

DirEntry file(std::string name, std::int64_t size = 0, bool read_only = false) {
    return {std::move(name), false, read_only, size, 0};
}

DirEntry folder(std::string name) {
    return {std::move(name), true, false, 0, 0};
}

}  // namespace

TEST_F(ListingTest, WorkedExampleUnix) {
    EXPECT_EQ(list(SystemType::UNIX),
              "total 100\r\n"
              "-rw-rw-rw-   1 ftpd     ftpd        1234 Mar 05 14:07 PART1.NC\r\n"
              "drwxrwxrwx   1 ftpd     ftpd           0 Nov 20 09:15 PROGRAMS\r\n"
              "-r-xr-xr-x   1 ftpd     ftpd         987 Dec 24 00:05 SETUP.BAT\r\n");
}

TEST_F(ListingTest, WorkedExampleUnknown) {
    EXPECT_EQ(list(SystemType::UNKNOWN),
              "PART1    .NC          1234 03-05-08   2:07p\r\n"
              "PROGRAMS     <DIR>         11-20-08   9:15a\r\n"
              "SETUP    BAT           987 12-24-07   0:05a\r\n");
}

TEST_F(ListingTest, WorkedExampleWinnt4) {
    EXPECT_EQ(list(SystemType::WINNT4),
              "03-05-08  02:07PM                 1234 PART1.NC\r\n"
              "11-20-08  09:15AM       <DIR>          PROGRAMS\r\n"
              "12-24-07  00:05AM                  987 SETUP.BAT\r\n");
}

TEST_F(ListingTest, WorkedExampleOkuma) {
    EXPECT_EQ(list(SystemType::OKUMA),
              "----------   1 owner     group            1234 Mar 05 2008 PART1.NC\r\n"
              "----------   1 owner     group               0 Nov 20 2008 PROGRAMS\r\n"
              "----------   1 owner     group             987 Dec 24 2007 SETUP.BAT\r\n");
}

TEST_F(ListingTest, WorkedExampleNameListsInEveryEmulation) {
    for (SystemType system :
         {SystemType::UNIX, SystemType::UNKNOWN, SystemType::WINNT4, SystemType::OKUMA}) {
        EXPECT_EQ(listing(worked_example(), ListingKind::LIST_NAMES, system),
                  "PART1.NC\r\nSETUP.BAT\r\n");
        EXPECT_EQ(listing(worked_example(), ListingKind::LIST_NAMES_COLUMNS, system),
                  "PART1.NC           SETUP.BAT          \r\n");
        EXPECT_EQ(listing(worked_example(), ListingKind::LIST_NAMES_LONG, system),
                  "-rw-rw-rw-   1 ftpd     ftpd        1234 Mar 05 14:07 PART1.NC\r\n"
                  "drwxrwxrwx   1 ftpd     ftpd           0 Nov 20 09:15 PROGRAMS\r\n"
                  "-r-xr-xr-x   1 ftpd     ftpd         987 Dec 24 00:05 SETUP.BAT\r\n");
    }
}

// Desktop clients: ls -l's rule, measured from the listing's time. Six months back
// (half of 365.2425 days) and anything after now show the year where the time stood.
TEST_F(ListingTest, UnixDatesAsLsShowTheYearOfOldAndFutureEntries) {
    const std::int64_t now = 1700000000;  // 2023-11-14 23:13:20 here
    const std::int64_t six_months = 31556952 / 2;
    EXPECT_TRUE(fmt::shows_time_of_day(now, now));
    EXPECT_TRUE(fmt::shows_time_of_day(now - six_months + 1, now));
    EXPECT_FALSE(fmt::shows_time_of_day(now - six_months, now));
    EXPECT_FALSE(fmt::shows_time_of_day(now + 1, now));

    const std::vector<DirEntry> entries = {{"OLD", false, false, 5, 1583323200},  // 2020-03-04
                                           {"RECENT", true, false, 0, now - 10 * 86400},
                                           {"FUTURE", false, false, 7, now + 86400}};
    std::string as_ls;
    for (const auto& line : fmt::format_listing(entries, ListingKind::LIST_LONG, SystemType::UNIX,
                                                LineCode::ascii, {true, now}))
        as_ls += line;
    EXPECT_EQ(as_ls,
              "total 100\r\n"
              "-rw-rw-rw-   1 ftpd     ftpd           5 Mar 04  2020 OLD\r\n"
              "drwxrwxrwx   1 ftpd     ftpd           0 Nov 04 23:13 RECENT\r\n"
              "-rw-rw-rw-   1 ftpd     ftpd           7 Nov 15  2023 FUTURE\r\n");
    const auto long_names = fmt::format_listing(entries, ListingKind::LIST_NAMES_LONG,
                                                SystemType::UNIX, LineCode::ascii, {true, now});
    EXPECT_EQ(long_names.at(0), "-rw-rw-rw-   1 ftpd     ftpd           5 Mar 04  2020 OLD\r\n");
    // The fixed form, and the other emulations, whatever the dates say.
    EXPECT_EQ(listing(entries, ListingKind::LIST_LONG).find("2020"), std::string::npos);
    for (SystemType system : {SystemType::UNKNOWN, SystemType::WINNT4, SystemType::OKUMA}) {
        EXPECT_EQ(fmt::format_listing(entries, ListingKind::LIST_LONG, system, LineCode::ascii,
                                      {true, now}),
                  fmt::format_listing(entries, ListingKind::LIST_LONG, system, LineCode::ascii));
    }
}

TEST_F(ListingTest, EmptySearchGivesOnlyTheUnixTotalLine) {
    EXPECT_EQ(listing({}, ListingKind::LIST_LONG, SystemType::UNIX), "total 100\r\n");
    EXPECT_EQ(listing({}, ListingKind::LIST_LONG, SystemType::OKUMA), "");
    EXPECT_EQ(listing({}, ListingKind::LIST_NAMES_LONG), "");
    EXPECT_EQ(listing({}, ListingKind::LIST_NAMES_COLUMNS), "");
}

TEST_F(ListingTest, EbcdicTranslatesEveryLineWithItsEnd) {
    const auto lines = fmt::format_listing(worked_example(), ListingKind::LIST_LONG,
                                           SystemType::UNIX, LineCode::ebcdic);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0], std::string("\xA3\x96\xA3\x81\x93\x40\xF1\xF0\xF0\x0D\x25"));
    EXPECT_EQ(lines[1].substr(lines[1].size() - 4), std::string("\xD5\xC3\x0D\x25"));
    const auto columns = fmt::format_listing({{file("A")}}, ListingKind::LIST_NAMES_COLUMNS,
                                             SystemType::UNIX, LineCode::ebcdic);
    ASSERT_EQ(columns.size(), 2u);
    EXPECT_EQ(columns[1], std::string("\x0D\x25"));
}

TEST_F(ListingTest, LocalTimeFollowsSummerTime) {
    const std::tm summer = fmt::listing_local_time(1214908200);  // 10:30 UTC
    EXPECT_EQ(summer.tm_hour, 12);
    EXPECT_EQ(summer.tm_min, 30);
}

TEST_F(ListingTest, UnconvertibleTimesShowTheEpoch) {
    // The last second localtime_r converts here has tm_year INT_MAX: the year must not
    // overflow on its way to the range check (the sanitizer build stops there).
    constexpr std::int64_t kLastConvertible = 67768036191673199;
    for (std::int64_t t :
         {std::numeric_limits<std::int64_t>::max(), std::numeric_limits<std::int64_t>::min(),
          std::int64_t{253402300800},  // year 10000
          kLastConvertible, kLastConvertible - std::int64_t{100} * 31556952}) {
        EXPECT_EQ(fmt::unix_line(file("X"), fmt::listing_local_time(t)),
                  "-rw-rw-rw-   1 ftpd     ftpd           0 Jan 01 01:00 X\r\n")
            << t;
    }
    EXPECT_EQ(fmt::okuma_line(file("X"), fmt::listing_local_time(253402297199)),
              "----------   1 owner     group               0 Dec 31 9999 X\r\n");
}

TEST(ListingLines, UnixExecuteAndWriteLetters) {
    const std::tm t = at(2008, 3, 5, 14, 7);
    auto modes = [&](const DirEntry& e) { return fmt::unix_line(e, t).substr(0, 10); };
    EXPECT_EQ(modes(file("combat")), "-rwxrwxrwx");
    EXPECT_EQ(modes(file("RUN.Cmd")), "-rwxrwxrwx");
    EXPECT_EQ(modes(file("X.COM")), "-rwxrwxrwx");
    EXPECT_EQ(modes(file("EXE.TXT")), "-rw-rw-rw-");
    EXPECT_EQ(modes(file("at")), "-rw-rw-rw-");
    EXPECT_EQ(modes(file("README", 0, true)), "-r--r--r--");
    EXPECT_EQ(modes(folder("tools.exe")), "drwxrwxrwx");
    EXPECT_EQ(modes({"PROGRAMS", true, true, 0, 0}), "dr-xr-xr-x");
}

TEST(ListingLines, UnixNeverShowsTheYear) {
    EXPECT_EQ(fmt::unix_line(file("OLD.NC", 1), at(1995, 1, 9, 8, 3)),
              "-rw-rw-rw-   1 ftpd     ftpd           1 Jan 09 08:03 OLD.NC\r\n");
}

TEST(ListingLines, TwelveHourClockOfUnknownAndWinnt4) {
    struct Case {
        int hour, minute;
        const char* unknown;
        const char* winnt4;
    };
    for (const Case& c : {Case{0, 5, " 0:05a", "00:05AM"}, Case{9, 15, " 9:15a", "09:15AM"},
                          Case{12, 0, "12:00a", "12:00AM"}, Case{12, 30, "12:30a", "12:30AM"},
                          Case{13, 0, " 1:00p", "01:00PM"}, Case{23, 59, "11:59p", "11:59PM"}}) {
        const std::tm t = at(2008, 3, 5, c.hour, c.minute);
        EXPECT_EQ(fmt::unknown_line(file("A.NC"), t).substr(37), std::string(c.unknown) + "\r\n");
        EXPECT_EQ(fmt::winnt4_line(file("A.NC"), t).substr(10, 7), c.winnt4);
    }
}

TEST(ListingLines, Winnt4NamesStartInColumn40) {
    const std::tm t = at(2008, 3, 5, 14, 7);
    for (const DirEntry& e : {file("A"), file("B", 4294967296), folder("C"),
                              file("D", std::numeric_limits<std::int64_t>::max())}) {
        const std::string line = fmt::winnt4_line(e, t);
        EXPECT_EQ(line.find(e.name, 17), 39u) << line;
    }
}

TEST(ListingLines, TwoDigitAndFourDigitYears) {
    EXPECT_EQ(fmt::winnt4_line(file("A"), at(1999, 12, 31, 23, 0)).substr(0, 8), "12-31-99");
    EXPECT_EQ(fmt::winnt4_line(file("A"), at(2100, 1, 2, 0, 0)).substr(0, 8), "01-02-00");
    EXPECT_EQ(fmt::unknown_line(file("A"), at(2000, 7, 4, 0, 0)).substr(27, 8), "07-04-00");
    EXPECT_EQ(fmt::okuma_line(file("A"), at(1999, 12, 31, 23, 0)),
              "----------   1 owner     group               0 Dec 31 1999 A\r\n");
    EXPECT_EQ(fmt::okuma_line(file("A"), at(2100, 1, 2, 0, 0)).substr(47, 11), "Jan 02 2100");
}

TEST(ListingLines, SizesOfTwoGibibytesAndMoreArePrintedWhole) {
    const std::tm t = at(2008, 3, 5, 14, 7);
    EXPECT_EQ(fmt::unix_line(file("BIG", 3000000000), t),
              "-rw-rw-rw-   1 ftpd     ftpd  3000000000 Mar 05 14:07 BIG\r\n");
    EXPECT_EQ(fmt::unix_line(file("HUGE", 1099511627776), t),
              "-rw-rw-rw-   1 ftpd     ftpd1099511627776 Mar 05 14:07 HUGE\r\n");
    EXPECT_EQ(fmt::okuma_line(file("BIG", 4294967296), t),
              "----------   1 owner     group      4294967296 Mar 05 2008 BIG\r\n");
    EXPECT_EQ(fmt::unknown_line(file("BIG.NC", 4294967296), t),
              "BIG      .NC    4294967296 03-05-08   2:07p\r\n");
    EXPECT_EQ(fmt::winnt4_line(file("BIG", 9007199254740993), t),
              "03-05-08  02:07PM     9007199254740993 BIG\r\n");
}

TEST(ListingLines, UnknownShortNames) {
    const std::tm t = at(2008, 3, 5, 14, 7);
    auto head = [&](const DirEntry& e) { return fmt::unknown_line(e, t).substr(0, 26); };
    EXPECT_EQ(head(file("O1000", 5)), "O1000    000             5");
    EXPECT_EQ(head(file("AB", 5)), "AB       AB              5");
    EXPECT_EQ(head(file("X", 5)), "X        X               5");
    EXPECT_EQ(head(file("LONGPROGRAM.NC", 5)), "LONGPROG .NC             5");
    EXPECT_EQ(head(file("ABCDEFGHIJ", 5)), "ABCDEFGH HIJ             5");
    EXPECT_EQ(head(file(".profile", 5)), ".profile ile             5");
    EXPECT_EQ(head(file("A.B.C", 5)), "A        B.C             5");
    EXPECT_EQ(fmt::unknown_line(folder(".."), t),
              "..           <DIR>         03-05-08   2:07p\r\n");
    EXPECT_EQ(fmt::unknown_line(folder("SUB.DIR"), t),
              "SUB          <DIR>         03-05-08   2:07p\r\n");
}

TEST(NameColumns, RowsOfFourEndWithTheFourthName) {
    const std::vector<DirEntry> four = {file("A"), folder("SKIPPED"), file("B"), file("C"),
                                        file("D")};
    const std::string row =
        "A                  B                  C                  D"
        "                  \r\n";
    EXPECT_EQ(listing(four, ListingKind::LIST_NAMES_COLUMNS), row);
    auto five = four;
    five.push_back(file("E"));
    EXPECT_EQ(listing(five, ListingKind::LIST_NAMES_COLUMNS), row + "E                  \r\n");
    // Long names are not cut.
    EXPECT_EQ(listing({file("NAME-OF-TWENTY-CHAR")}, ListingKind::LIST_NAMES_COLUMNS),
              "NAME-OF-TWENTY-CHAR\r\n");
    EXPECT_EQ(listing({file("NAME-OF-TWENTY-CHARS")}, ListingKind::LIST_NAMES_COLUMNS),
              "NAME-OF-TWENTY-CHARS\r\n");
}

TEST(LongLines, ALineOverTheLimitEndsTheListingWithTheLinesBefore) {
    // The UNIX line is 56 characters plus the name: 194 fills 250 exactly.
    const std::vector<DirEntry> entries = {file(std::string(194, 'A')), file("NEXT"),
                                           file(std::string(195, 'B')), file("AFTER")};
    const auto lines =
        fmt::format_listing(entries, ListingKind::LIST_LONG, SystemType::UNIX, LineCode::ascii);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_EQ(lines[1].size(), 250u);
    EXPECT_NE(lines[2].find("NEXT"), std::string::npos);
}

TEST(LongLines, WriterStaysStoppedAndStillEndsTheOpenRow) {
    fmt::ListingWriter writer(ListingKind::LIST_NAMES_COLUMNS, SystemType::UNIX, LineCode::ascii);
    EXPECT_EQ(writer.header(), "");
    EXPECT_EQ(writer.next(folder("DIR")).action, LineAction::skip);
    EXPECT_EQ(writer.next(file("A")).action, LineAction::send);
    EXPECT_EQ(writer.next(file(std::string(251, 'X'))).action, LineAction::stop);
    EXPECT_EQ(writer.next(file("B")).action, LineAction::stop);
    EXPECT_EQ(writer.finish(), "\r\n");
    // The name list's line counts its CR LF: 248 characters fit, 249 do not.
    fmt::ListingWriter names(ListingKind::LIST_NAMES, SystemType::OKUMA, LineCode::ascii);
    EXPECT_EQ(names.next(file(std::string(248, 'N'))).action, LineAction::send);
    EXPECT_EQ(names.next(file(std::string(249, 'N'))).action, LineAction::stop);
}

TEST(SystemTypes, WordsOfTheSysKey) {
    EXPECT_EQ(fmt::system_type_from_name("okuma"), SystemType::OKUMA);
    EXPECT_EQ(fmt::system_type_from_name("Unknown"), SystemType::UNKNOWN);
    EXPECT_EQ(fmt::system_type_from_name("WINNT4"), SystemType::WINNT4);
    EXPECT_EQ(fmt::system_type_from_name("UNIX"), SystemType::UNIX);
    EXPECT_EQ(fmt::system_type_from_name(""), SystemType::UNIX);
    EXPECT_EQ(fmt::system_type_from_name("WINNT"), SystemType::UNIX);
}
