#include "colophon/viewer_lines.h"

#include <algorithm>
#include <optional>

#include "platform/file_io.h"

namespace kesto::colophon {

namespace {

bool is_continuation_byte(char c) {
    return (static_cast<unsigned char>(c) & 0xC0U) == 0x80U;
}

// Adds `line` as items of at most kMaxViewerItem bytes, each cut before a UTF-8
// continuation byte so that no character is split between two items.
void add_line(std::string_view line, std::vector<std::string>& items) {
    do {
        std::size_t length = std::min(line.size(), kMaxViewerItem);
        if (length < line.size()) {
            std::size_t cut = length;
            while (cut > 0 && is_continuation_byte(line[cut])) --cut;
            if (cut > 0) length = cut;  // not UTF-8 after all: cut where the bound says
        }
        items.emplace_back(line.substr(0, length));
        line.remove_prefix(length);
    } while (!line.empty());
}

std::optional<std::string> read_file(const std::string& path) {
    std::string text;
    if (path.empty() ||
        platform::read_whole_file(path, text, kMaxViewerFileBytes) != platform::ReadResult::ok) {
        return std::nullopt;
    }
    return text;
}

}  // namespace

std::string english_fallback(std::string_view path) {
    const std::size_t slash = path.rfind('/');
    const std::size_t dot = path.rfind('.');
    const bool dot_in_name =
        dot != std::string_view::npos && (slash == std::string_view::npos || dot > slash);
    const std::size_t end = dot_in_name ? dot : path.size();
    return std::string(path.substr(0, end)) + ".us";
}

std::vector<std::string> viewer_items(std::string_view text) {
    std::vector<std::string> items;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        while (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        add_line(line, items);
    }
    return items;
}

std::vector<std::string> read_viewer_lines(const std::string& path) {
    std::optional<std::string> text = read_file(path);
    if (!text && !path.empty()) text = read_file(english_fallback(path));
    return text ? viewer_items(*text) : std::vector<std::string>{};
}

}  // namespace kesto::colophon
