#include "common/text_helpers.h"

#include <algorithm>
#include <charconv>
#include <cstring>

#include "base/ascii.h"

namespace kesto::common {

namespace {

constexpr std::string_view kTrailingSpace = " \t\n\v\f\r";
constexpr std::string_view kLeadingSpace = " \n\t\v\b\r\f\a";

std::string_view without_leading_quote(std::string_view path) {
    if (!path.empty() && path.front() == '"') path.remove_prefix(1);
    return path;
}

bool starts_name(std::string_view text, std::size_t at) {
    return at == 0 || text[at - 1] == '/' || text[at - 1] == '"';
}

bool ends_name(std::string_view text, std::size_t at) {
    return at == text.size() || text[at] == ' ' || text[at] == '\t' || text[at] == '"';
}

bool takes_argument(char placeholder) {
    return placeholder == 's' || placeholder == 'd' || placeholder == 'u' || placeholder == 'i';
}

template <typename Number>
void append_number(std::string& out, Number number) {
    char digits[24];
    const auto result = std::to_chars(digits, digits + sizeof digits, number);
    out.append(digits, result.ptr);
}

}  // namespace

std::size_t copy_text(char* dest, const char* source, std::size_t size) {
    if (dest == nullptr || size == 0) return 0;
    std::size_t length = 0;
    if (source != nullptr) {
        length = static_cast<std::size_t>(std::find(source, source + size - 1, '\0') - source);
        std::memcpy(dest, source, length);
    }
    dest[length] = '\0';
    return length;
}

void trim(std::string& text) {
    const std::size_t last = text.find_last_not_of(kTrailingSpace);
    text.erase(last == std::string::npos ? 0 : last + 1);
    text.erase(0, std::min(text.find_first_not_of(kLeadingSpace), text.size()));
}

std::string trimmed(std::string_view text) {
    std::string copy(text);
    trim(copy);
    return copy;
}

std::optional<std::size_t> find_text(std::string_view text, std::string_view pattern) {
    if (pattern.empty()) return std::nullopt;
    const auto found =
        std::search(text.begin(), text.end(), pattern.begin(), pattern.end(),
                    [](char a, char b) { return ascii::to_upper(a) == ascii::to_upper(b); });
    if (found == text.end()) return std::nullopt;
    return static_cast<std::size_t>(found - text.begin());
}

std::string folder_of(std::string_view path) {
    path = without_leading_quote(path);
    const std::size_t last_separator = path.rfind('/');
    if (last_separator == std::string_view::npos) return {};
    if (last_separator == 0) return "/";
    return std::string(path.substr(0, last_separator));
}

std::string file_name_of(std::string_view path) {
    const std::size_t last_separator = path.rfind('/');
    std::string_view name = last_separator == std::string_view::npos
                                ? without_leading_quote(path)
                                : path.substr(last_separator + 1);
    if (!name.empty() && name.back() == '"') name.remove_suffix(1);
    return std::string(name);
}

std::string program_arguments(std::string_view command_line, std::string_view program_file) {
    std::size_t from = 0;
    while (const auto found = find_text(command_line.substr(from), program_file)) {
        const std::size_t start = from + *found;
        std::size_t end = start + program_file.size();
        if (starts_name(command_line, start) && ends_name(command_line, end)) {
            if (end < command_line.size() && command_line[end] == '"') ++end;
            while (end < command_line.size() && command_line[end] == ' ') ++end;
            return std::string(command_line.substr(end));
        }
        from = start + 1;
    }
    return {};
}

void FillArg::append_to(std::string& out) const {
    if (const auto* text = std::get_if<std::string_view>(&value_)) {
        out.append(*text);
    } else if (const auto* number = std::get_if<std::int64_t>(&value_)) {
        append_number(out, *number);
    } else {
        append_number(out, std::get<std::uint64_t>(value_));
    }
}

std::string fill(std::string_view format, std::initializer_list<FillArg> args) {
    std::string out;
    out.reserve(format.size());
    const FillArg* next = args.begin();
    for (std::size_t i = 0; i < format.size(); ++i) {
        const char kind = i + 1 < format.size() ? format[i + 1] : '\0';
        if (format[i] != '%' || !(kind == '%' || takes_argument(kind))) {
            out.push_back(format[i]);
            continue;
        }
        ++i;
        if (kind == '%') {
            out.push_back('%');
        } else if (next != args.end()) {
            (next++)->append_to(out);
        }
    }
    return out;
}

}  // namespace kesto::common
