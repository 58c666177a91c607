#pragma once
// Message catalogues: the numbered texts every window of the manager shows, one file
// per language ("msg/msg_xx.bin" in the program folder).
//
// File format, all numbers little-endian:
//   0          4      N, the number of entries
//   4          4      L, the length of the text block
//   8          4 * N  each entry's offset in the text block
//   8 + 4 * N  L      the text block: terminated texts, every byte XOR kCatalogueKey
// A file is refused unless its size is exactly 8 + 4N + L, every offset lies inside
// the block and names a text terminated inside it, N > 677 and entry 677 is "***".
// Texts are UTF-8.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "common/catalogue_abi.h"

namespace kesto::common {

inline constexpr unsigned char kCatalogueKey = 0xA7;
inline constexpr std::uint32_t kMarkerMessage = 677;    // holds "***" in every catalogue
inline constexpr std::uint32_t kLanguageMessage = 311;  // the catalogue's language code
// Bounds that no real catalogue comes near; larger headers are refused unread.
inline constexpr std::uint32_t kMaxCatalogueEntries = 1U << 16;
inline constexpr std::uint32_t kMaxCatalogueBytes = 16U << 20;

// A loaded catalogue: owns its texts.
class Catalogue {
  public:
    // The text of message `number`; "" for a number the catalogue does not hold.
    [[nodiscard]] const char* text(std::int64_t number) const;
    [[nodiscard]] std::uint32_t size() const { return static_cast<std::uint32_t>(entries_.size()); }
    // The table handed to loaded libraries; valid while this catalogue lives.
    [[nodiscard]] const KestoCatalogue* table() const { return &table_; }

    // Reads and checks a catalogue file image; false leaves `out` untouched.
    [[nodiscard]] static bool parse(std::string_view file, Catalogue& out);

    Catalogue() = default;
    Catalogue(const Catalogue&) = delete;
    Catalogue& operator=(const Catalogue&) = delete;
    Catalogue(Catalogue&& other) noexcept { *this = std::move(other); }
    Catalogue& operator=(Catalogue&& other) noexcept;
    ~Catalogue() = default;

  private:
    void rebuild_table();

    std::vector<char> block_;
    std::vector<const char*> entries_;
    KestoCatalogue table_{0, nullptr};
};

// The file image of a catalogue holding `texts` (number -> text); numbers not given
// are empty texts. For the build's catalogue compiler and for tests.
[[nodiscard]] std::string encode_catalogue(const std::map<std::uint32_t, std::string>& texts);

// Loads the catalogue at `path` into `destination`, or, without one, as the process's
// catalogue. Returns N for a valid catalogue, else 0 (nothing installed).
std::uint32_t load_catalogue(const std::string& path, Catalogue* destination = nullptr);

// The process's catalogue: empty until load_catalogue or install_catalogue.
[[nodiscard]] const Catalogue& process_catalogue();

// Installs a copy of a table another module loaded (a library's DllInit). False for a
// missing table or one without the marker; the first installed table stays.
bool install_catalogue(const KestoCatalogue* table);

// The process catalogue's text of `number`; "" when there is none.
[[nodiscard]] const char* message(std::int64_t number);

}  // namespace kesto::common
