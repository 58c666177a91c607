// The facts of MLSD and MLST: the selection OPTS MLST makes, FEAT's and OPTS' names,
// the UTC stamps (against the C library's gmtime over four centuries), the perm rules
// and whole lines.
#include "server/formats/machine_facts.h"

#include <gtest/gtest.h>

#include <ctime>
#include <limits>

namespace fmt = kesto::formats;
using fmt::EntryKind;
using fmt::Fact;
using fmt::FactEntry;
using fmt::FactSet;

namespace {

constexpr std::int64_t kDecember8th2026 = 1796724900;  // 2026-12-08 10:15:00 UTC

FactSet only(std::initializer_list<Fact> facts) {
    FactSet set = FactSet::none();
    for (Fact f : facts) set.add(f);
    return set;
}

}  // namespace

TEST(MachineFacts, OptsSelectionIgnoresCaseUnknownNamesAndBlanks) {
    EXPECT_EQ(fmt::parse_fact_list("TYPE;SIZE;"), only({Fact::type, Fact::size}));
    EXPECT_EQ(fmt::parse_fact_list("type;Unknown;MODIFY"), only({Fact::type, Fact::modify}));
    EXPECT_EQ(fmt::parse_fact_list(" PERM ; UNIX.MODE;;"), only({Fact::perm, Fact::unix_mode}));
    EXPECT_EQ(fmt::parse_fact_list("sizes;typ;unix;mode;"), FactSet::none());
    EXPECT_EQ(fmt::parse_fact_list(""), FactSet::none());
    EXPECT_EQ(fmt::parse_fact_list("unix.mode;perm;modify;size;type;"), FactSet::all());
}

TEST(MachineFacts, NamesForOptsAndFeat) {
    EXPECT_EQ(fmt::selected_fact_names(only({Fact::unix_mode, Fact::type})), "type;unix.mode;");
    EXPECT_EQ(fmt::selected_fact_names(FactSet::none()), "");
    EXPECT_EQ(fmt::offered_fact_names(only({Fact::type, Fact::perm})),
              "type*;size;modify;perm*;unix.mode;");
}

TEST(MachineFacts, UtcStampsAgreeWithGmtimeAndStopAtFourDigitYears) {
    EXPECT_EQ(fmt::utc_timestamp(0), "19700101000000");
    EXPECT_EQ(fmt::utc_timestamp(-1), "19691231235959");
    EXPECT_EQ(fmt::utc_timestamp(kDecember8th2026), "20261208101500");
    EXPECT_EQ(fmt::utc_timestamp(1709164801), "20240229000001");
    EXPECT_EQ(fmt::utc_timestamp(-62135596800), "00010101000000");
    EXPECT_EQ(fmt::utc_timestamp(253402300799), "99991231235959");
    for (std::int64_t outside :
         {std::int64_t{-62135596801}, std::int64_t{253402300800},
          std::numeric_limits<std::int64_t>::min(), std::numeric_limits<std::int64_t>::max()}) {
        EXPECT_EQ(fmt::utc_timestamp(outside), "") << outside;
    }
    // Every 7 days and 1,234 seconds from 1801 to 2200: leap days, centuries, negatives.
    for (std::int64_t t = -5333126400; t < 7258118400; t += 7 * 86400 + 1234) {
        const std::time_t time = static_cast<std::time_t>(t);
        std::tm utc{};
        ASSERT_NE(::gmtime_r(&time, &utc), nullptr);
        char want[32];
        std::strftime(want, sizeof want, "%Y%m%d%H%M%S", &utc);
        ASSERT_EQ(fmt::utc_timestamp(t), want) << t;
    }
}

TEST(MachineFacts, PermFollowsTheOwnerBitsAndTheAccount) {
    struct Case {
        EntryKind kind;
        std::uint32_t mode;
        bool read_only_account;
        const char* letters;
    };
    const Case cases[] = {
        {EntryKind::file, 0644, false, "rwadf"},     {EntryKind::file, 0444, false, "r"},
        {EntryKind::file, 0644, true, "r"},          {EntryKind::file, 0200, false, "wadf"},
        {EntryKind::folder, 0755, false, "elcmpdf"}, {EntryKind::folder, 0777, true, "el"},
        {EntryKind::folder, 0311, false, "ecmpdf"},  {EntryKind::other, 0666, false, ""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(fmt::perm_letters(c.kind, c.mode, c.read_only_account), c.letters)
            << static_cast<int>(c.kind) << " " << c.mode << " " << c.read_only_account;
    }
}

TEST(MachineFacts, FactsOfEachKindInTheSelection) {
    const FactEntry file{EntryKind::file, 123, kDecember8th2026, 0644, false};
    EXPECT_EQ(fmt::facts_text(file, FactSet::all()),
              "type=file;size=123;modify=20261208101500;perm=rwadf;unix.mode=0644;");
    EXPECT_EQ(fmt::facts_text(file, only({Fact::size, Fact::type})), "type=file;size=123;");
    EXPECT_EQ(fmt::facts_text(file, FactSet::none()), "");

    const FactEntry folder{EntryKind::folder, 4096, 0, 02775, true};
    EXPECT_EQ(fmt::facts_text(folder, FactSet::all()),
              "type=dir;modify=19700101000000;perm=el;unix.mode=2775;");
    const FactEntry listed{EntryKind::listed_folder, 4096, 0, 0755, false};
    EXPECT_EQ(fmt::facts_text(listed, only({Fact::type})), "type=cdir;");

    // No letter, no printable time: the fact is left out rather than sent empty.
    const FactEntry fifo{EntryKind::other, 0, std::numeric_limits<std::int64_t>::max(), 0600,
                         false};
    EXPECT_EQ(fmt::facts_text(fifo, FactSet::all()), "type=OS.unix=special;unix.mode=0600;");

    const FactEntry huge{EntryKind::file, std::numeric_limits<std::int64_t>::max(), 0, 04755,
                         false};
    EXPECT_EQ(fmt::facts_text(huge, only({Fact::size, Fact::unix_mode})),
              "size=9223372036854775807;unix.mode=4755;");
}

TEST(MachineFacts, ListingLinesCarryNamesAsBytes) {
    const FactEntry file{EntryKind::file, 5, kDecember8th2026, 0444, false};
    const FactSet facts = only({Fact::type, Fact::perm});
    EXPECT_EQ(fmt::machine_listing_line(file, facts, "Grüße; ÄÖ=1.txt"),
              "type=file;perm=r; Grüße; ÄÖ=1.txt\r\n");
    EXPECT_EQ(fmt::machine_listing_line(file, facts, "two\r\nlines"), "");
    EXPECT_EQ(fmt::machine_listing_line(file, facts, "line\nfeed"), "");
}
