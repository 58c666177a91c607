#pragma once
// The directory listing formats: pure functions from directory entries to the lines
// that LIST, NLST and STAT send, in the four host emulations and the three name lists.
// Nothing here touches a socket or the file system; the caller runs the search and
// sends each line as one text. Only the UNIX form for desktop clients depends on the
// current time (the year/time switch of ls -l), which the caller hands in, so no clock
// is taken here; dates are the entries' last-write times in local time.
// Every function is safe to call from any thread; a ListingWriter belongs to one call.

#include <cstddef>
#include <cstdint>
#include <ctime>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "settings/vocabulary.h"

namespace kesto::formats {

// An account's listing emulation, a word of the configuration.
using settings::system_type_from_name;
using settings::SystemType;

// The listing a command asks for.
enum class ListingKind : int {
    LIST_LONG = 1,           // LIST and STAT with a path: the account's emulation
    LIST_NAMES = 2,          // NLST: the names of files, one a line
    LIST_NAMES_COLUMNS = 3,  // NLST -C: the names of files in rows of four columns
    LIST_NAMES_LONG = 4,     // NLST -L: UNIX long lines without the total line
};

// How the lines go on the wire: TYPE E translates every byte, line ends included.
enum class LineCode { ascii, ebcdic };

struct DirEntry {
    std::string name;
    bool is_directory = false;
    bool read_only = false;
    std::int64_t size = 0;
    std::int64_t mtime = 0;  // last write, seconds since the epoch
};

// send_text refuses longer texts (CR LF counted); such a line ends the listing.
inline constexpr std::size_t kMaxListingLineChars = 250;
inline constexpr std::size_t kNameColumnChars = 19;
inline constexpr int kNameColumnsPerRow = 4;

// `mtime` in local time (localtime_r, so TZ applies). A time that cannot be converted,
// or whose year has more than four digits, is shown as the epoch (time 0).
[[nodiscard]] std::tm listing_local_time(std::int64_t mtime);

// How the UNIX form dates its entries: always month, day and time (the form machine
// controls parse), or as ls -l does, measured from `now`.
struct UnixDates {
    bool as_ls = false;
    std::int64_t now = 0;  // seconds since the epoch
};

// As ls -l decides: an entry written within the six months up to `now` shows its time
// of day; an older one, or one after `now`, shows its year instead.
[[nodiscard]] bool shows_time_of_day(std::int64_t mtime, std::int64_t now);

// One entry's line in an emulation, CR LF included; `local` is its last-write time.
// `with_year`: the UNIX line shows the year where it shows the time ("Mar 04  2020").
[[nodiscard]] std::string unix_line(const DirEntry& entry, const std::tm& local,
                                    bool with_year = false);
[[nodiscard]] std::string unknown_line(const DirEntry& entry, const std::tm& local);
[[nodiscard]] std::string winnt4_line(const DirEntry& entry, const std::tm& local);
[[nodiscard]] std::string okuma_line(const DirEntry& entry, const std::tm& local);

// The name lists name files only: a folder gives the empty text, which is not sent.
[[nodiscard]] std::string name_line(const DirEntry& entry);
// One cell of the column list: the name padded to 19 (never cut), CR LF when it ends a row.
[[nodiscard]] std::string name_cell(const DirEntry& entry, bool ends_row);

enum class LineAction {
    send,  // send `text`
    skip,  // nothing to send for this entry (a folder in a name list)
    stop,  // the line would be too long: end the listing here, with success
};

struct EntryLine {
    LineAction action;
    std::string text;  // translated for EBCDIC already
};

// The lines of one listing, entry by entry, in constant memory:
//   send header() (if not empty) before the search; failing to send it fails the listing;
//   for each entry in search order, act on next(); after a stop, call next() no more;
//   send finish() (if not empty) after the last entry or a stop, then report success.
class ListingWriter {
  public:
    ListingWriter(ListingKind kind, SystemType system, LineCode code, UnixDates dates = {});

    // "total 100" for a LIST in the UNIX emulation, whatever the number of entries.
    [[nodiscard]] std::string header() const;
    [[nodiscard]] EntryLine next(const DirEntry& entry);
    // CR LF that ends an incomplete last row of the column list; empty otherwise.
    [[nodiscard]] std::string finish();

  private:
    enum class Form { unix_long, unknown, winnt4, okuma, names, name_columns };

    [[nodiscard]] std::string format(const DirEntry& entry) const;
    [[nodiscard]] std::string encoded(std::string text) const;

    Form form_;
    bool total_line_;
    LineCode code_;
    UnixDates dates_;
    int cells_in_row_ = 0;  // names in the open row of the column list
    bool stopped_ = false;
};

// The whole listing as the client receives it when no send fails: header, lines up to
// the first line that is too long, and the row end of the column list.
[[nodiscard]] std::vector<std::string> format_listing(std::span<const DirEntry> entries,
                                                      ListingKind kind, SystemType system,
                                                      LineCode code, UnixDates dates = {});

}  // namespace kesto::formats
