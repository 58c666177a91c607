#include "common/catalogue.h"

#include <cstring>
#include <utility>

#include "platform/file_io.h"

namespace kesto::common {

namespace {

constexpr std::size_t kHeaderBytes = 8;

std::uint32_t read_u32(std::string_view bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[at + i])) << (8 * i);
    }
    return value;
}

void append_u32(std::string& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

bool has_marker(const Catalogue& catalogue) {
    return catalogue.size() > kMarkerMessage &&
           std::strcmp(catalogue.text(kMarkerMessage), "***") == 0;
}

Catalogue& the_process_catalogue() {
    static Catalogue catalogue;
    return catalogue;
}

}  // namespace

const char* Catalogue::text(std::int64_t number) const {
    if (number < 0 || static_cast<std::uint64_t>(number) >= entries_.size()) return "";
    return entries_[static_cast<std::size_t>(number)];
}

Catalogue& Catalogue::operator=(Catalogue&& other) noexcept {
    block_ = std::move(other.block_);
    entries_ = std::move(other.entries_);  // the pointers still point into block_
    rebuild_table();
    other.entries_.clear();
    other.rebuild_table();
    return *this;
}

void Catalogue::rebuild_table() {
    table_.count = static_cast<std::uint32_t>(entries_.size());
    table_.texts = entries_.empty() ? nullptr : entries_.data();
}

bool Catalogue::parse(std::string_view file, Catalogue& out) {
    if (file.size() < kHeaderBytes) return false;
    const std::uint32_t count = read_u32(file, 0);
    const std::uint32_t block_bytes = read_u32(file, 4);
    if (count <= kMarkerMessage || count > kMaxCatalogueEntries) return false;
    if (block_bytes == 0 || block_bytes > kMaxCatalogueBytes) return false;
    const std::size_t offsets_bytes = std::size_t{4} * count;
    if (file.size() != kHeaderBytes + offsets_bytes + block_bytes) return false;

    Catalogue parsed;
    const std::string_view stored = file.substr(kHeaderBytes + offsets_bytes);
    parsed.block_.resize(block_bytes);
    for (std::size_t i = 0; i < block_bytes; ++i) {
        parsed.block_[i] = static_cast<char>(static_cast<unsigned char>(stored[i]) ^ kCatalogueKey);
    }
    parsed.entries_.reserve(count);
    for (std::uint32_t i = 0; i < count; ++i) {
        const std::uint32_t offset = read_u32(file, kHeaderBytes + std::size_t{4} * i);
        if (offset >= block_bytes) return false;
        const char* start = parsed.block_.data() + offset;
        if (std::memchr(start, '\0', block_bytes - offset) == nullptr) return false;
        parsed.entries_.push_back(start);
    }
    parsed.rebuild_table();
    if (!has_marker(parsed)) return false;
    out = std::move(parsed);
    return true;
}

std::string encode_catalogue(const std::map<std::uint32_t, std::string>& texts) {
    const std::uint32_t count = texts.empty() ? 0 : texts.rbegin()->first + 1;
    std::string block(1, '\0');  // offset 0: the empty text every missing number shares
    std::vector<std::uint32_t> offsets(count, 0);
    for (const auto& [number, text] : texts) {
        if (text.empty()) continue;
        offsets[number] = static_cast<std::uint32_t>(block.size());
        block.append(text.data(), std::strlen(text.c_str()));  // a text ends at its first zero
        block.push_back('\0');
    }
    std::string file;
    file.reserve(kHeaderBytes + std::size_t{4} * count + block.size());
    append_u32(file, count);
    append_u32(file, static_cast<std::uint32_t>(block.size()));
    for (std::uint32_t offset : offsets) append_u32(file, offset);
    for (char c : block)
        file.push_back(static_cast<char>(static_cast<unsigned char>(c) ^ kCatalogueKey));
    return file;
}

std::uint32_t load_catalogue(const std::string& path, Catalogue* destination) {
    std::string file;
    if (platform::read_whole_file(path, file,
                                  kMaxCatalogueBytes + std::size_t{4} * kMaxCatalogueEntries +
                                      kHeaderBytes) != platform::ReadResult::ok) {
        return 0;
    }
    Catalogue loaded;
    if (!Catalogue::parse(file, loaded)) return 0;
    const std::uint32_t count = loaded.size();
    (destination != nullptr ? *destination : the_process_catalogue()) = std::move(loaded);
    return count;
}

const Catalogue& process_catalogue() {
    return the_process_catalogue();
}

bool install_catalogue(const KestoCatalogue* table) {
    Catalogue& installed = the_process_catalogue();
    if (installed.size() > 0) return has_marker(installed);
    if (table == nullptr || table->texts == nullptr || table->count <= kMarkerMessage ||
        table->count > kMaxCatalogueEntries) {
        return false;
    }
    std::map<std::uint32_t, std::string> texts;
    for (std::uint32_t i = 0; i < table->count; ++i) {
        if (table->texts[i] != nullptr && table->texts[i][0] != '\0') texts[i] = table->texts[i];
    }
    texts.try_emplace(table->count - 1);  // keep the count even when the last text is empty
    Catalogue copy;
    if (!Catalogue::parse(encode_catalogue(texts), copy)) return false;
    installed = std::move(copy);
    return true;
}

const char* message(std::int64_t number) {
    return the_process_catalogue().text(number);
}

}  // namespace kesto::common
