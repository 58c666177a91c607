#include "server/formats/machine_facts.h"

#include <array>
#include <cstdio>

#include "base/ascii.h"

namespace kesto::formats {

namespace {

struct FactName {
    Fact fact;
    std::string_view name;
};

// Printed in this order, named in lower case as RFC 3659 writes them.
constexpr std::array<FactName, 5> kFacts = {{
    {Fact::type, "type"},
    {Fact::size, "size"},
    {Fact::modify, "modify"},
    {Fact::perm, "perm"},
    {Fact::unix_mode, "unix.mode"},
}};

// The years a stamp has four digits for: 0001-01-01 00:00:00 to 9999-12-31 23:59:59 UTC.
constexpr std::int64_t kFirstPrintable = -62135596800;
constexpr std::int64_t kLastPrintable = 253402300799;
constexpr std::int64_t kSecondsPerDay = 86400;

constexpr std::uint32_t kOwnerRead = 0400;
constexpr std::uint32_t kOwnerWrite = 0200;
constexpr std::uint32_t kPermissionBits = 07777;

std::string_view trimmed(std::string_view text) {
    while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
    while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
    return text;
}

struct Date {
    std::int64_t year;
    unsigned month;
    unsigned day;
};

// The proleptic Gregorian date of a day count since 1970-01-01 (the days_from_civil
// inverse of H. Hinnant's date algorithms), exact for every day count in range.
Date civil_from_days(std::int64_t days) {
    days += 719468;
    const std::int64_t era = (days >= 0 ? days : days - 146096) / 146097;
    const auto day_of_era = static_cast<unsigned>(days - era * 146097);
    const unsigned year_of_era =
        (day_of_era - day_of_era / 1460 + day_of_era / 36524 - day_of_era / 146096) / 365;
    const unsigned day_of_year =
        day_of_era - (365 * year_of_era + year_of_era / 4 - year_of_era / 100);
    const unsigned shifted_month = (5 * day_of_year + 2) / 153;
    const unsigned day = day_of_year - (153 * shifted_month + 2) / 5 + 1;
    const unsigned month = shifted_month < 10 ? shifted_month + 3 : shifted_month - 9;
    const std::int64_t year = std::int64_t{year_of_era} + era * 400 + (month <= 2 ? 1 : 0);
    return {year, month, day};
}

std::string_view type_value(EntryKind kind) {
    switch (kind) {
        case EntryKind::file:
            return "file";
        case EntryKind::folder:
            return "dir";
        case EntryKind::listed_folder:
            return "cdir";
        case EntryKind::other:
            break;
    }
    return "OS.unix=special";
}

void append_fact(std::string& out, std::string_view name, std::string_view value) {
    out += name;
    out += '=';
    out += value;
    out += ';';
}

}  // namespace

FactSet parse_fact_list(std::string_view list) {
    FactSet selected = FactSet::none();
    while (!list.empty()) {
        const std::size_t end = list.find(';');
        const std::string_view item = trimmed(list.substr(0, end));
        for (const FactName& known : kFacts) {
            if (ascii::equal_ignoring_case(item, known.name)) selected.add(known.fact);
        }
        if (end == std::string_view::npos) break;
        list.remove_prefix(end + 1);
    }
    return selected;
}

std::string selected_fact_names(FactSet selected) {
    std::string names;
    for (const FactName& known : kFacts) {
        if (!selected.has(known.fact)) continue;
        names += known.name;
        names += ';';
    }
    return names;
}

std::string offered_fact_names(FactSet selected) {
    std::string names;
    for (const FactName& known : kFacts) {
        names += known.name;
        if (selected.has(known.fact)) names += '*';
        names += ';';
    }
    return names;
}

std::string utc_timestamp(std::int64_t seconds) {
    if (seconds < kFirstPrintable || seconds > kLastPrintable) return {};
    std::int64_t days = seconds / kSecondsPerDay;
    std::int64_t second_of_day = seconds % kSecondsPerDay;
    if (second_of_day < 0) {
        second_of_day += kSecondsPerDay;
        --days;
    }
    const Date date = civil_from_days(days);
    char text[32];
    std::snprintf(text, sizeof text, "%04lld%02u%02u%02lld%02lld%02lld",
                  static_cast<long long>(date.year), date.month, date.day,
                  static_cast<long long>(second_of_day / 3600),
                  static_cast<long long>(second_of_day / 60 % 60),
                  static_cast<long long>(second_of_day % 60));
    return text;
}

std::string perm_letters(EntryKind kind, std::uint32_t permissions, bool account_read_only) {
    const bool readable = (permissions & kOwnerRead) != 0;
    const bool writable = (permissions & kOwnerWrite) != 0 && !account_read_only;
    switch (kind) {
        case EntryKind::file:
            return std::string(readable ? "r" : "") + (writable ? "wadf" : "");
        case EntryKind::folder:
        case EntryKind::listed_folder:
            return std::string("e") + (readable ? "l" : "") + (writable ? "cmpdf" : "");
        case EntryKind::other:
            break;
    }
    return {};
}

std::string facts_text(const FactEntry& entry, FactSet selected) {
    std::string out;
    if (selected.has(Fact::type)) append_fact(out, "type", type_value(entry.kind));
    if (selected.has(Fact::size) && entry.kind == EntryKind::file) {
        append_fact(out, "size", std::to_string(entry.size));
    }
    if (selected.has(Fact::modify)) {
        const std::string stamp = utc_timestamp(entry.mtime);
        if (!stamp.empty()) append_fact(out, "modify", stamp);
    }
    if (selected.has(Fact::perm)) {
        const std::string letters =
            perm_letters(entry.kind, entry.permissions, entry.account_read_only);
        if (!letters.empty()) append_fact(out, "perm", letters);
    }
    if (selected.has(Fact::unix_mode)) {
        char mode[16];
        std::snprintf(mode, sizeof mode, "%04o", entry.permissions & kPermissionBits);
        append_fact(out, "unix.mode", mode);
    }
    return out;
}

std::string machine_listing_line(const FactEntry& entry, FactSet selected, std::string_view name) {
    if (name.find_first_of("\r\n") != std::string_view::npos) return {};
    std::string line = facts_text(entry, selected);
    line += ' ';
    line += name;
    line += "\r\n";
    return line;
}

}  // namespace kesto::formats
