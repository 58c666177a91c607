#include "profile/profile_engine.h"

#include <algorithm>

namespace kesto::profile {

namespace {

constexpr std::size_t kBannerWidth = 79;
// A banner, CR LF and an empty line stand this far in front of its header's '['.
constexpr std::size_t kBannerReach = kBannerWidth + 4;
constexpr std::string_view kCrLf = "\r\n";

bool is_ws(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
bool is_blank(char c) {
    return c == ' ' || c == '\t';
}
// Leading characters a new key name loses (the writer's own set, BS and BEL included).
bool is_leading_junk(char c) {
    return is_ws(c) || c == '\b' || c == '\a';
}

char upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string upper_copy(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), upper);
    return out;
}

bool starts_with_ci(std::string_view text, std::size_t pos, std::string_view name) {
    if (pos > text.size() || text.size() - pos < name.size()) return false;
    for (std::size_t i = 0; i < name.size(); ++i) {
        if (upper(text[pos + i]) != upper(name[i])) return false;
    }
    return true;
}

std::string_view trim_ws(std::string_view s) {
    while (!s.empty() && is_ws(s.front())) s.remove_prefix(1);
    while (!s.empty() && is_ws(s.back())) s.remove_suffix(1);
    return s;
}

// The data the searches see: up to the first zero byte.
std::string_view search_view(std::string_view content) {
    return content.substr(0, std::min(content.find('\0'), content.size()));
}

// Only whitespace stands between the line's start and `pos`.
bool at_line_start(std::string_view text, std::size_t pos) {
    while (pos > 0 && text[pos - 1] != '\n') {
        if (!is_ws(text[pos - 1])) return false;
        --pos;
    }
    return true;
}

std::size_t next_header(std::string_view text, std::size_t from) {
    for (auto p = text.find('[', from); p != std::string_view::npos; p = text.find('[', p + 1)) {
        if (at_line_start(text, p)) return p;
    }
    return std::string_view::npos;
}

// The line in front of `pos` is a banner of ours, followed by an empty line.
bool banner_precedes(std::string_view text, std::size_t pos) {
    if (pos <= kBannerReach) return false;
    const std::size_t start = pos - kBannerReach;
    return text[start] == '#' && text.substr(pos - 2, 2) == kCrLf &&
           text.find('\r', start) == pos - 4;
}

std::size_t line_end(std::string_view text, std::size_t from) {
    return std::min(text.find_first_of("\r\n", from), text.size());
}

std::size_t value_start(std::string_view text, std::size_t equals) {
    std::size_t p = equals + 1;
    while (p < text.size() && is_blank(text[p])) ++p;
    return p;
}

std::string_view new_key_name(std::string_view key, NameLimits limits) {
    key = key.substr(0, limits.key_chars);
    while (!key.empty() && is_ws(key.back())) key.remove_suffix(1);
    while (!key.empty() && is_leading_junk(key.front())) key.remove_prefix(1);
    return key;
}

std::string_view separator_for(std::size_t name_length) {
    if (name_length < 8) return "\t\t= ";
    if (name_length < 16) return "\t= ";
    return "= ";
}

std::string new_section_text(std::string_view section, std::string_view key, std::string_view value,
                             NameLimits limits) {
    std::string out(kCrLf);
    out += banner_line(section, limits);
    out += "\r\n\r\n[";
    out += upper_copy(section.substr(0, limits.section_chars));
    out += "]\r\n";
    out += key_line(key, value, limits);
    return out;
}

void append_line(std::string& content, const std::string& line) {
    if (!content.empty() && content.back() != '\n') content += kCrLf;
    content += line;
}

void delete_section(std::string& content, std::string_view text, std::size_t header,
                    std::string_view section) {
    std::size_t cut_start = header;
    if (header > kBannerReach && text[header - kBannerReach] == '#' &&
        starts_with_ci(text, header - kBannerReach + 3, section)) {
        cut_start -= kBannerReach;
        if (cut_start > 1 && is_ws(text[cut_start - 1]) && is_ws(text[cut_start - 2]))
            cut_start -= 2;
    }
    std::size_t cut_end = next_header(text, header + 1);
    if (cut_end == std::string_view::npos) {
        content.erase(cut_start);
        return;
    }
    if (banner_precedes(text, cut_end)) {
        cut_end -= kBannerReach;
        if (cut_end > 2 && text.substr(cut_end - 2, 2) == kCrLf) cut_end -= 2;
    }
    content.erase(cut_start, cut_end - cut_start);
}

void delete_key(std::string& content, std::string_view text, const KeyMatch& match) {
    const auto lf = text.find('\n', match.name_start);
    const std::size_t end = (lf == std::string_view::npos) ? content.size() : lf + 1;
    content.erase(match.name_start, end - match.name_start);
}

bool replace_value(std::string& content, std::string_view text, const KeyMatch& match,
                   std::string_view value) {
    const std::size_t start = value_start(text, match.equals);
    const std::size_t end = line_end(text, start);
    std::string_view old = text.substr(start, end - start);
    while (!old.empty() && is_ws(old.back())) old.remove_suffix(1);
    if (!old.empty() && old == value) return false;
    std::string replacement = " ";
    replacement += value;
    std::size_t from = match.equals + 1;
    content.replace(from, end - from, replacement);
    return true;
}

// Where a new key line goes: after the last key line of the section's first block.
std::size_t insertion_point(std::string_view text, std::size_t body) {
    constexpr auto npos = std::string_view::npos;
    const std::size_t next_bracket = text.find('[', body);
    if (next_bracket == npos) return npos;
    const std::size_t empty_line = text.find("\r\n\r\n", body);
    std::size_t p =
        (empty_line != npos && empty_line < next_bracket) ? empty_line + 2 : next_bracket;
    while (!at_line_start(text, p)) {
        p = text.find('[', p + 1);
        if (p == npos) return npos;
    }
    if (banner_precedes(text, p)) p -= kBannerReach;
    while (p >= 6 && text.substr(p - 4, 4) == "\r\n\r\n") p -= 2;
    return p;
}

void insert_key(std::string& content, std::string_view text, std::size_t body,
                const std::string& line) {
    const std::size_t p = insertion_point(text, body);
    if (p == std::string_view::npos) {
        append_line(content, line);
    } else {
        content.insert(p, line);
    }
}

}  // namespace

std::optional<std::size_t> find_section(std::string_view text, std::string_view section) {
    for (auto p = text.find('['); p != std::string_view::npos; p = text.find('[', p + 1)) {
        if (!at_line_start(text, p)) continue;
        const std::size_t close = p + 1 + section.size();
        if (starts_with_ci(text, p + 1, section) && close < text.size() && text[close] == ']') {
            return p;
        }
    }
    return std::nullopt;
}

std::optional<KeyMatch> find_key(std::string_view text, std::size_t body, std::string_view key) {
    std::size_t p = body;
    for (;;) {
        while (p < text.size() && is_ws(text[p])) ++p;
        if (p >= text.size() || text[p] == '[') return std::nullopt;
        if (starts_with_ci(text, p, key)) {
            std::size_t q = p + key.size();
            while (q < text.size() && is_blank(text[q])) ++q;
            if (q < text.size() && text[q] == '=') return KeyMatch{p, q};
        }
        const auto lf = text.find('\n', p);
        if (lf == std::string_view::npos) return std::nullopt;
        p = lf + 1;
    }
}

std::string extract_value(std::string_view text, std::size_t equals, std::size_t max_chars) {
    const std::size_t start = value_start(text, equals);
    std::string_view v = text.substr(start, line_end(text, start) - start).substr(0, max_chars);
    while (!v.empty() && is_ws(v.back())) v.remove_suffix(1);
    if (v.size() >= 2 && v.front() == '"' && v.back() == '"') v = v.substr(1, v.size() - 2);
    return std::string(v);
}

std::optional<std::string> lookup(std::string_view text, std::string_view section,
                                  std::string_view key, std::size_t max_chars) {
    text = search_view(text);
    const auto header = find_section(text, section);
    if (!header) return std::nullopt;
    const auto match = find_key(text, *header + section.size() + 2, key);
    if (!match) return std::nullopt;
    return extract_value(text, match->equals, max_chars);
}

std::string banner_line(std::string_view section, NameLimits limits) {
    std::string line = "## " + upper_copy(section.substr(0, limits.section_chars)) + " ";
    if (line.size() < kBannerWidth) line.append(kBannerWidth - line.size(), '#');
    line.resize(kBannerWidth);
    return line;
}

std::string key_line(std::string_view key, std::string_view value, NameLimits limits) {
    const std::string name = upper_copy(new_key_name(key, limits));
    std::string line = name;
    line += separator_for(name.size());
    line += trim_ws(value);
    line += kCrLf;
    return line;
}

bool apply_edit(std::string& content, std::string_view section, std::optional<std::string_view> key,
                std::optional<std::string_view> value, NameLimits limits) {
    if (value) value = trim_ws(*value);
    const std::string_view text = search_view(content);
    const auto header = find_section(text, section);
    if (!header) {
        if (!key || !value) return false;
        content += new_section_text(section, *key, *value, limits);
        return true;
    }
    if (!key) {
        delete_section(content, text, *header, section);
        return true;
    }
    const std::size_t body = *header + section.size() + 2;
    const auto match = find_key(text, body, *key);
    if (match && !value) {
        delete_key(content, text, *match);
        return true;
    }
    if (match) return replace_value(content, text, *match, *value);
    if (!value) return false;
    insert_key(content, text, body, key_line(*key, *value, limits));
    return true;
}

}  // namespace kesto::profile
