#pragma once
// The facts of the machine-readable listings (MLSD, MLST; RFC 3659): which facts a
// session selects, how FEAT and OPTS MLST name them, and one entry's facts as text.
// Pure functions, no I/O and no clock: times are printed in UTC from the entry's own
// seconds. Safe to call from any thread.

#include <cstdint>
#include <string>
#include <string_view>

namespace kesto::formats {

// The facts this server offers, in the order they are printed.
enum class Fact : std::uint8_t {
    type = 1U << 0,
    size = 1U << 1,
    modify = 1U << 2,
    perm = 1U << 3,
    unix_mode = 1U << 4,
};

// A selection of facts; every offered fact until OPTS MLST chooses.
class FactSet {
  public:
    [[nodiscard]] static constexpr FactSet all() { return FactSet(kAllBits); }
    [[nodiscard]] static constexpr FactSet none() { return FactSet(0); }

    [[nodiscard]] constexpr bool has(Fact fact) const {
        return (bits_ & static_cast<std::uint8_t>(fact)) != 0;
    }
    constexpr void add(Fact fact) { bits_ |= static_cast<std::uint8_t>(fact); }
    constexpr bool operator==(const FactSet&) const = default;

  private:
    static constexpr std::uint8_t kAllBits = 0x1F;
    explicit constexpr FactSet(std::uint8_t bits) : bits_(bits) {}
    std::uint8_t bits_ = kAllBits;
};

// OPTS MLST's list: the offered facts named in it (';'-separated, letter case ignored);
// unknown names and empty items are ignored, so "" selects none.
[[nodiscard]] FactSet parse_fact_list(std::string_view list);

// The selected facts, each followed by ';' ("type;size;"): OPTS MLST's reply.
[[nodiscard]] std::string selected_fact_names(FactSet selected);

// Every offered fact, each followed by '*' when selected and by ';': FEAT's MLST line.
[[nodiscard]] std::string offered_fact_names(FactSet selected);

// What an entry is, for the type fact.
enum class EntryKind {
    file,           // a regular file: "file"
    folder,         // "dir"
    listed_folder,  // the folder MLSD lists, as its "." entry: "cdir"
    other,          // a device, FIFO, socket, or a link that is not followed: "OS.unix=special"
};

struct FactEntry {
    EntryKind kind = EntryKind::file;
    std::int64_t size = 0;
    std::int64_t mtime = 0;          // last write, seconds since the epoch
    std::uint32_t permissions = 0;   // the mode's permission bits (07777)
    bool account_read_only = false;  // the session's account may change nothing
};

// "YYYYMMDDHHMMSS" in UTC; empty when the year lies outside 1..9999.
[[nodiscard]] std::string utc_timestamp(std::int64_t seconds);

// The perm fact's letters. Files: r when the owner may read; w, a, d, f when the owner
// may write and the account is not read-only. Folders: e; l when the owner may read;
// c, m, p, d, f when the owner may write and the account is not read-only. Others: none.
[[nodiscard]] std::string perm_letters(EntryKind kind, std::uint32_t permissions,
                                       bool account_read_only);

// The selected facts of an entry, each "name=value;" ("type=file;size=12;..."). size is
// given for files only, modify only where the time can be printed, perm only where it
// has a letter.
[[nodiscard]] std::string facts_text(const FactEntry& entry, FactSet selected);

// One MLSD line: the facts, a blank, the name and CR LF. Empty for a name holding CR or
// LF, which the line could not carry (nor could a command name it).
[[nodiscard]] std::string machine_listing_line(const FactEntry& entry, FactSet selected,
                                               std::string_view name);

}  // namespace kesto::formats
