#pragma once
// What the text viewer lists: the lines of a plain-text file, such as the licence the
// manager names in the user's language ("msg/license.de"), with the English file as
// the fallback for a language that ships none.

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kesto::colophon {

// The longest item: longer lines are shown as several items of at most this many bytes.
inline constexpr std::size_t kMaxViewerItem = 1999;
// Files above this size are not read: the viewer is for short texts, and a wrong name
// (a log, an image) must not make the dialog build a list for minutes.
inline constexpr std::size_t kMaxViewerFileBytes = 4U << 20;

// `path` with the part from the last "." of its file name on replaced by ".us"
// ("license.de" -> "license.us"); a file name without "." gets ".us" appended.
[[nodiscard]] std::string english_fallback(std::string_view path);

// One item a line, without its CR and LF; a line longer than kMaxViewerItem bytes is
// split into several items, never inside a UTF-8 character.
[[nodiscard]] std::vector<std::string> viewer_items(std::string_view text);

// The items of the file at `path`, else of its English fallback, else none. A file that
// cannot be read or is larger than kMaxViewerFileBytes counts as missing.
[[nodiscard]] std::vector<std::string> read_viewer_lines(const std::string& path);

}  // namespace kesto::colophon
