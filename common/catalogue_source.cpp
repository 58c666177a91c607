#include "common/catalogue_source.h"

#include "common/catalogue.h"

namespace kesto::common {

namespace {

bool unescape(std::string_view text, std::string& out) {
    out.clear();
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\\') {
            out.push_back(text[i]);
            continue;
        }
        if (++i == text.size()) return false;
        switch (text[i]) {
            case 'n':
                out.push_back('\n');
                break;
            case 't':
                out.push_back('\t');
                break;
            case '\\':
                out.push_back('\\');
                break;
            default:
                return false;
        }
    }
    return true;
}

bool parse_number(std::string_view digits, std::uint32_t& number) {
    if (digits.empty() || digits.size() > 5) return false;
    number = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return false;
        number = number * 10 + static_cast<std::uint32_t>(c - '0');
    }
    return number < kMaxCatalogueEntries;
}

// One line; false with a reason when it is neither blank, a comment nor a text.
bool parse_line(std::string_view line, std::map<std::uint32_t, std::string>& texts,
                std::string& reason) {
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty() || line.front() == '#') return true;
    const std::size_t tab = line.find('\t');
    std::uint32_t number = 0;
    if (tab == std::string_view::npos || !parse_number(line.substr(0, tab), number)) {
        reason = "expected a number, a TAB and a text";
        return false;
    }
    std::string text;
    if (!unescape(line.substr(tab + 1), text) || text.find('\0') != std::string::npos) {
        reason = "unknown escape in the text";
        return false;
    }
    if (!texts.emplace(number, std::move(text)).second) {
        reason = "number " + std::to_string(number) + " appears twice";
        return false;
    }
    return true;
}

}  // namespace

std::map<std::uint32_t, std::string> parse_catalogue_source(std::string_view source,
                                                            SourceError& error) {
    std::map<std::uint32_t, std::string> texts;
    error = {};
    int line_number = 0;
    while (!source.empty()) {
        ++line_number;
        const std::size_t end = source.find('\n');
        const std::string_view line = source.substr(0, end);
        source.remove_prefix(end == std::string_view::npos ? source.size() : end + 1);
        if (!parse_line(line, texts, error.reason)) {
            error.line = line_number;
            return {};
        }
    }
    return texts;
}

}  // namespace kesto::common
