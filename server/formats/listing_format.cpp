#include "server/formats/listing_format.h"

#include <array>
#include <cstdio>
#include <utility>

#include "base/ascii.h"
#include "platform/clock.h"
#include "server/formats/ebcdic.h"

namespace kesto::formats {

namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::size_t kFieldBufferChars = 160;  // the fixed fields of any line fit
constexpr int kMaxYear = 9999;                  // the OKUMA form shows four digits
// ls -l's six months: half of the average Gregorian year, 365.2425 days.
constexpr std::int64_t kSixMonthsSeconds = 31'556'952 / 2;

using FieldBuffer = std::array<char, kFieldBufferChars>;

// The last three characters decide, with or without a dot: "combat" counts.
bool has_executable_ending(std::string_view name) {
    if (name.size() < 3) return false;
    const std::string_view ending = name.substr(name.size() - 3);
    for (std::string_view known : {"exe", "com", "cmd", "bat"}) {
        if (ascii::equal_ignoring_case(ending, known)) return true;
    }
    return false;
}

const char* month_abbreviation(const std::tm& local) {
    static constexpr std::array<const char*, 12> kMonths = {
        "Jan", "Feb", "Mar", "Apr", "May", "Jun", "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    const auto month = static_cast<std::size_t>(local.tm_mon);
    return month < kMonths.size() ? kMonths[month] : "???";
}

// In 64 bits: localtime_r gives tm_year up to INT_MAX, where adding 1900 overflows.
std::int64_t full_year(const std::tm& local) {
    return std::int64_t{local.tm_year} + 1900;
}

// 2008 gives 08; taken modulo 100 so that years past 2099 keep two digits.
int two_digit_year(const std::tm& local) {
    return static_cast<int>(((full_year(local) % 100) + 100) % 100);
}

struct TwelveHour {
    int hour;
    bool pm;
};

// Hours up to 12 keep their value and count as morning: 12:30 is "12:30a".
TwelveHour twelve_hour(const std::tm& local) {
    if (local.tm_hour <= 12) return {local.tm_hour, false};
    return {local.tm_hour - 12, true};
}

long long as_printed(std::int64_t size) {
    return static_cast<long long>(size);
}

std::string with_name(const FieldBuffer& fields, std::string_view name) {
    std::string line(fields.data());
    line.append(name);
    line.append(kLineEnd);
    return line;
}

// The 8-character short name padded to 9: cut at the first dot unless it leads.
std::string short_name_field(std::string_view name) {
    const std::size_t dot = name.find('.');
    if (dot != std::string_view::npos && dot != 0) name = name.substr(0, dot);
    std::string field(name.substr(0, 8));
    field.resize(9, ' ');
    return field;
}

// The last three characters of the full name; shorter names are padded with blanks.
std::string extension_field(std::string_view name) {
    std::string field(name.size() > 3 ? name.substr(name.size() - 3) : name);
    field.resize(3, ' ');
    return field;
}

bool convertible(std::int64_t t, std::tm& out) {
    if (!platform::to_local_time(t, out)) return false;
    const std::int64_t year = full_year(out);
    return year >= 1 && year <= kMaxYear;
}

}  // namespace

std::tm listing_local_time(std::int64_t mtime) {
    std::tm local{};
    if (convertible(mtime, local)) return local;
    if (convertible(0, local)) return local;
    std::tm epoch{};  // only if even the epoch cannot be converted
    epoch.tm_year = 70;
    epoch.tm_mday = 1;
    return epoch;
}

bool shows_time_of_day(std::int64_t mtime, std::int64_t now) {
    return mtime <= now && mtime > now - kSixMonthsSeconds;
}

std::string unix_line(const DirEntry& entry, const std::tm& local, bool with_year) {
    const char type = entry.is_directory ? 'd' : '-';
    const char write = entry.read_only ? '-' : 'w';
    // Folders can always be entered, so they always show the execute letters.
    const char exec = (entry.is_directory || has_executable_ending(entry.name)) ? 'x' : '-';
    // The year takes the five places of "hh:mm", right-aligned as ls -l writes it.
    std::array<char, 32> when{};
    if (with_year) {
        std::snprintf(when.data(), when.size(), "%5lld", static_cast<long long>(full_year(local)));
    } else {
        std::snprintf(when.data(), when.size(), "%02d:%02d", local.tm_hour, local.tm_min);
    }
    FieldBuffer fields{};
    std::snprintf(fields.data(), fields.size(),
                  "%cr%c%cr%c%cr%c%c   1 ftpd     ftpd%12lld %s %02d %s ", type, write, exec, write,
                  exec, write, exec, as_printed(entry.size), month_abbreviation(local),
                  local.tm_mday, when.data());
    return with_name(fields, entry.name);
}

std::string unknown_line(const DirEntry& entry, const std::tm& local) {
    std::string line = short_name_field(entry.name);
    FieldBuffer fields{};
    if (entry.is_directory) {
        line += "    <DIR>         ";
    } else {
        line += extension_field(entry.name);
        std::snprintf(fields.data(), fields.size(), " %13lld ", as_printed(entry.size));
        line += fields.data();
    }
    const TwelveHour clock = twelve_hour(local);
    std::snprintf(fields.data(), fields.size(), "%02d-%02d-%02d  %2d:%02d%c", local.tm_mon + 1,
                  local.tm_mday, two_digit_year(local), clock.hour, local.tm_min,
                  clock.pm ? 'p' : 'a');
    line += fields.data();
    line += kLineEnd;
    return line;
}

std::string winnt4_line(const DirEntry& entry, const std::tm& local) {
    const TwelveHour clock = twelve_hour(local);
    FieldBuffer fields{};
    std::snprintf(fields.data(), fields.size(), "%02d-%02d-%02d  %02d:%02d%s", local.tm_mon + 1,
                  local.tm_mday, two_digit_year(local), clock.hour, local.tm_min,
                  clock.pm ? "PM" : "AM");
    std::string line(fields.data());
    if (entry.is_directory) {
        line += "       <DIR>          ";
    } else {
        std::snprintf(fields.data(), fields.size(), "%21lld ", as_printed(entry.size));
        line += fields.data();
    }
    line.append(entry.name);
    line.append(kLineEnd);
    return line;
}

std::string okuma_line(const DirEntry& entry, const std::tm& local) {
    FieldBuffer fields{};
    std::snprintf(fields.data(), fields.size(),
                  "----------   1 owner     group%16lld %s %02d %04lld ", as_printed(entry.size),
                  month_abbreviation(local), local.tm_mday,
                  static_cast<long long>(full_year(local)));
    return with_name(fields, entry.name);
}

std::string name_line(const DirEntry& entry) {
    if (entry.is_directory) return {};
    std::string line(entry.name);
    line.append(kLineEnd);
    return line;
}

std::string name_cell(const DirEntry& entry, bool ends_row) {
    if (entry.is_directory) return {};
    std::string cell(entry.name);
    if (cell.size() < kNameColumnChars) cell.resize(kNameColumnChars, ' ');
    if (ends_row) cell.append(kLineEnd);
    return cell;
}

ListingWriter::ListingWriter(ListingKind kind, SystemType system, LineCode code, UnixDates dates)
    : form_(Form::unix_long), total_line_(false), code_(code), dates_(dates) {
    switch (kind) {
        case ListingKind::LIST_LONG:
            if (system == SystemType::UNKNOWN) form_ = Form::unknown;
            if (system == SystemType::WINNT4) form_ = Form::winnt4;
            if (system == SystemType::OKUMA) form_ = Form::okuma;
            total_line_ = form_ == Form::unix_long;
            break;
        case ListingKind::LIST_NAMES_COLUMNS:
            form_ = Form::name_columns;
            break;
        case ListingKind::LIST_NAMES_LONG:
            break;
        default:
            form_ = Form::names;
            break;
    }
}

std::string ListingWriter::header() const {
    return total_line_ ? encoded("total 100\r\n") : std::string();
}

EntryLine ListingWriter::next(const DirEntry& entry) {
    if (stopped_) return {LineAction::stop, {}};
    std::string text = format(entry);
    if (text.empty()) return {LineAction::skip, {}};
    if (text.size() > kMaxListingLineChars) {
        stopped_ = true;
        return {LineAction::stop, {}};
    }
    if (form_ == Form::name_columns) cells_in_row_ = (cells_in_row_ + 1) % kNameColumnsPerRow;
    return {LineAction::send, encoded(std::move(text))};
}

std::string ListingWriter::finish() {
    if (form_ != Form::name_columns || cells_in_row_ == 0) return {};
    cells_in_row_ = 0;
    return encoded(std::string(kLineEnd));
}

std::string ListingWriter::format(const DirEntry& entry) const {
    switch (form_) {
        case Form::names:
            return name_line(entry);
        case Form::name_columns:
            return name_cell(entry, cells_in_row_ + 1 == kNameColumnsPerRow);
        default:
            break;
    }
    const std::tm local = listing_local_time(entry.mtime);
    switch (form_) {
        case Form::unknown:
            return unknown_line(entry, local);
        case Form::winnt4:
            return winnt4_line(entry, local);
        case Form::okuma:
            return okuma_line(entry, local);
        default:
            return unix_line(entry, local,
                             dates_.as_ls && !shows_time_of_day(entry.mtime, dates_.now));
    }
}

std::string ListingWriter::encoded(std::string text) const {
    if (code_ == LineCode::ebcdic) translate_to_ebcdic(text);
    return text;
}

std::vector<std::string> format_listing(std::span<const DirEntry> entries, ListingKind kind,
                                        SystemType system, LineCode code, UnixDates dates) {
    ListingWriter writer(kind, system, code, dates);
    std::vector<std::string> lines;
    if (std::string header = writer.header(); !header.empty()) lines.push_back(std::move(header));
    for (const DirEntry& entry : entries) {
        EntryLine line = writer.next(entry);
        if (line.action == LineAction::stop) break;
        if (line.action == LineAction::send) lines.push_back(std::move(line.text));
    }
    if (std::string end = writer.finish(); !end.empty()) lines.push_back(std::move(end));
    return lines;
}

}  // namespace kesto::formats
