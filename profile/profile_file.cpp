#include "profile/profile_file.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_io.h"
#include "profile/profile_engine.h"

namespace kesto::profile {

namespace {

std::size_t copy_out(std::string_view text, char* dest, std::size_t size) {
    if (dest == nullptr || size == 0) return 0;
    const std::size_t n = std::min(text.size(), size - 1);
    std::memcpy(dest, text.data(), n);
    dest[n] = '\0';
    return n;
}

std::optional<std::string_view> optional_text(const char* s) {
    if (s == nullptr) return std::nullopt;
    return std::string_view(s);
}

}  // namespace

ProfileSnapshot::ProfileSnapshot(const char* path) {
    loaded_ = path != nullptr && platform::read_whole_file(path, content_, kMaxProfileBytes) ==
                                     platform::ReadResult::ok;
}

std::string ProfileSnapshot::read(std::string_view section, std::string_view key,
                                  std::string_view fallback, std::size_t max_chars) const {
    if (loaded_) {
        if (auto value = lookup(content_, section, key, max_chars)) return *value;
    }
    return std::string(fallback.substr(0, max_chars));
}

int profile_read(const char* section, const char* key, const char* default_value, char* dest,
                 std::size_t size, const char* path) {
    const std::string_view fallback = default_value ? default_value : "";
    if (section == nullptr || key == nullptr || size == 0) {
        return static_cast<int>(copy_out(fallback, dest, size));
    }
    return static_cast<int>(
        copy_out(ProfileSnapshot(path).read(section, key, fallback, size - 1), dest, size));
}

int profile_write(const char* section, const char* key, const char* value, const char* path) {
    if (section == nullptr || path == nullptr) return 1;
    std::string content;
    if (platform::read_whole_file(path, content, kMaxProfileBytes) != platform::ReadResult::ok) {
        return 1;
    }
    if (apply_edit(content, section, optional_text(key), optional_text(value), kServerNameLimits)) {
        (void)platform::replace_file_atomically(path, content);
    }
    return 1;
}

}  // namespace kesto::profile
