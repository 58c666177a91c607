#include "common/profile_store.h"

#include <algorithm>
#include <cstdint>
#include <limits>

#include "base/ascii.h"
#include "common/file_helpers.h"
#include "common/profile_sharing.h"

namespace kesto::common {

namespace {

constexpr std::string_view kVersionSection = "INIFILEVERSION";
constexpr std::string_view kVersionKey = "VERSION";
constexpr int kVersionProbe = 400;
constexpr int kVersionCurrent = 200;

bool is_whitespace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

// A value as one line of the file: a line break would end its line and corrupt the
// file, and a zero byte, which every reader takes for a blank, is written as one.
std::string single_line(std::string_view value) {
    std::string out;
    out.reserve(value.size() + 2);
    for (char c : value) {
        if (c != '\r' && c != '\n') out.push_back(c == '\0' ? ' ' : c);
    }
    return out;
}

// The value as write_text stores it: quoted where the reader would otherwise lose its
// outer whitespace or quotes.
std::string stored_form(std::string_view value) {
    std::string out = single_line(value);
    if (out.empty()) return out;
    const auto needs_quotes = [](char c) { return is_whitespace(c) || c == '"'; };
    if (needs_quotes(out.front()) || needs_quotes(out.back())) out = '"' + out + '"';
    return out;
}

// The leading decimal number as a C reader takes it (whitespace, a sign, digits),
// saturated instead of overflowing; nothing when no digit follows.
std::optional<std::int64_t> leading_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && is_whitespace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
    if (i >= text.size() || text[i] < '0' || text[i] > '9') return std::nullopt;
    constexpr std::int64_t kCap = std::int64_t{1} << 40;  // far beyond any 32-bit bound
    std::int64_t value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min(kCap, value * 10 + (text[i] - '0'));
    }
    return negative ? -value : value;
}

bool apply_to(std::string& content, const std::string& section,
              const std::optional<std::string>& key, const std::optional<std::string>& value,
              bool only_if_missing) {
    if (only_if_missing && key && profile::lookup(content, section, *key, 0)) return false;
    return profile::apply_edit(content, section, key, value, kStoreNameLimits);
}

}  // namespace

bool ProfileStore::open(std::string path) {
    path_ = std::move(path);
    read_only_ = true;
    if (path_.empty()) return false;
    const bool was_caching = set_caching(false);
    testing_ = true;
    read_only_ = !run_write_test();
    testing_ = false;
    set_caching(was_caching);
    return true;
}

bool ProfileStore::writes_version_probe() {
    write_int(kVersionSection, kVersionKey, kVersionProbe);
    return read_int(kVersionSection, kVersionKey, 0, 0, 999999) == kVersionProbe;
}

bool ProfileStore::run_write_test() {
    if (!writes_version_probe()) {
        (void)set_read_only(path_, false);  // a file marked read-only is ours to write
        if (!writes_version_probe()) return false;
    }
    write_int(kVersionSection, kVersionKey, kVersionCurrent);
    return !last_write_failed_;
}

std::string ProfileStore::read_text(std::string_view section, std::string_view key,
                                    std::string_view fallback, std::size_t max_chars) {
    bool readable = true;
    if (auto value = lookup(section, key, max_chars, readable)) return *value;
    if (readable) {
        // Written as given (the writer trims it), not quoted: a default such as "UNIX  "
        // goes into the file as UNIX.
        change({std::string(section), std::string(key), single_line(fallback), true});
    }
    return std::string(fallback.substr(0, std::min(max_chars, fallback.size())));
}

std::optional<std::string> ProfileStore::lookup(std::string_view section, std::string_view key,
                                                std::size_t max_chars, bool& readable) {
    if (caching_) return lookup_cached(section, key, max_chars, readable);
    std::string content;
    readable = load_profile_content(path_, content);
    if (!readable) return std::nullopt;
    return profile::lookup(content, section, key, max_chars);
}

std::optional<std::string> ProfileStore::lookup_cached(std::string_view section,
                                                       std::string_view key, std::size_t max_chars,
                                                       bool& readable) {
    readable = ensure_buffer();
    if (!readable) return std::nullopt;
    if (!section_cached_ || !ascii::equal_ignoring_case(cached_section_, section)) {
        const auto header = profile::find_section(*buffer_, section);
        if (!header) return std::nullopt;
        cached_section_ = std::string(section);
        cached_body_ = *header + section.size() + 2;  // past "[" + name + "]"
        section_cached_ = true;
    }
    const auto match = profile::find_key(*buffer_, cached_body_, key);
    if (!match) return std::nullopt;
    return profile::extract_value(*buffer_, match->equals, max_chars);
}

bool ProfileStore::ensure_buffer() {
    if (buffer_) return true;
    std::string content;
    if (!load_profile_content(path_, content)) return false;
    buffer_ = std::move(content);
    section_cached_ = false;
    return true;
}

void ProfileStore::change(Edit edit) {
    if (read_only_ && !testing_) {
        last_write_failed_ = true;
        return;
    }
    if (caching_) {
        if (!ensure_buffer()) {
            last_write_failed_ = true;
            return;
        }
        if (apply_to(*buffer_, edit.section, edit.key, edit.value, edit.only_if_missing)) {
            section_cached_ = false;
            pending_.push_back(std::move(edit));
        }
        return;
    }
    last_write_failed_ = !change_profile_file(
        path_,
        [&](std::string& content) {
            return apply_to(content, edit.section, edit.key, edit.value, edit.only_if_missing);
        },
        kNewProfileMode);
}

void ProfileStore::flush() {
    if (!pending_.empty()) {
        last_write_failed_ = !change_profile_file(
            path_,
            [&](std::string& content) {
                bool changed = false;
                for (const Edit& e : pending_) {
                    changed |= apply_to(content, e.section, e.key, e.value, e.only_if_missing);
                }
                return changed;
            },
            kNewProfileMode);
    }
    pending_.clear();
    buffer_.reset();
    section_cached_ = false;
}

bool ProfileStore::set_caching(bool on) {
    const bool was = caching_;
    if (was && !on) flush();
    caching_ = on;
    return was;
}

template <class T>
T ProfileStore::read_number(std::string_view section, std::string_view key, T fallback, T min,
                            T max) {
    const std::string text = read_text(section, key, "", 1023);
    std::int64_t value = leading_number(text).value_or(0);
    // A 0 without a digit 0 was no number at all: the key takes its default.
    if (value == 0 && text.find('0') == std::string::npos) {
        value = fallback;
        write_text(section, key, std::to_string(fallback));
    }
    if (value < static_cast<std::int64_t>(min)) {
        write_text(section, key, std::to_string(min));
        return min;
    }
    if (value > static_cast<std::int64_t>(max)) {
        write_text(section, key, std::to_string(max));
        return max;
    }
    return static_cast<T>(value);
}

int ProfileStore::read_int(std::string_view section, std::string_view key, int fallback, int min,
                           int max) {
    return read_number<int>(section, key, fallback, min, max);
}

unsigned ProfileStore::read_uint(std::string_view section, std::string_view key, unsigned fallback,
                                 unsigned min, unsigned max) {
    return read_number<unsigned>(section, key, fallback, min, max);
}

unsigned ProfileStore::read_word(std::string_view section, std::string_view key, unsigned fallback,
                                 unsigned min, unsigned max) {
    constexpr unsigned kWordMax = std::numeric_limits<std::uint16_t>::max();
    max = std::min(max, kWordMax);
    min = std::min(min, max);
    return read_uint(section, key, std::clamp(fallback, min, max), min, max);
}

int ProfileStore::write_int(std::string_view section, std::string_view key, int value) {
    write_text(section, key, std::to_string(value));
    return value;
}

bool ProfileStore::read_flag(std::string_view section, std::string_view key, bool fallback) {
    const std::string text = read_text(section, key, fallback ? "Yes" : "No", 3);
    return ascii::equal_ignoring_case(text, "yes") || text == "1";
}

bool ProfileStore::write_flag(std::string_view section, std::string_view key, bool value) {
    write_text(section, key, value ? "Yes" : "No");
    return value;
}

void ProfileStore::write_text(std::string_view section, std::string_view key,
                              std::string_view value) {
    change({std::string(section), std::string(key), stored_form(value), false});
}

void ProfileStore::delete_key(std::string_view section, std::string_view key) {
    change({std::string(section), std::string(key), std::nullopt, false});
}

void ProfileStore::delete_section(std::string_view section) {
    change({std::string(section), std::nullopt, std::nullopt, false});
}

}  // namespace kesto::common
