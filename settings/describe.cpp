#include "settings/describe.h"

#include "settings/keys.h"

namespace kesto::settings {

namespace {

std::string head(std::string_view section, std::string_view name, std::string_view kind) {
    return std::string(section) + " " + std::string(name) + " " + std::string(kind);
}

std::string describe(const AddressKey& k) {
    return head(k.section, k.name, "address") + " default=" + std::string(k.absent) + "\n";
}

std::string describe(const Address6Key& k) {
    return head(k.section, k.name, "address6") + " default=<none>\n";
}

std::string describe(const PortRangeKey& k) {
    return head(k.section, k.name, "port-range") +
           " default=<any port> range=" + std::to_string(k.low) + ".." + std::to_string(k.high) +
           "\n";
}

std::string describe(const NumberKey& k) {
    return head(k.section, k.name, "number") + " default=" + std::to_string(k.fallback) +
           " range=" + std::to_string(k.low) + ".." + std::to_string(k.high) + "\n";
}

std::string describe(const TextKey& k) {
    return head(k.section, k.name, "text") + " default=\"" + std::string(k.fallback) +
           "\" max=" + std::to_string(k.max_chars) + "\n";
}

std::string describe(const FlagKey& k) {
    return head(k.section, k.name, "flag") +
           " default=" + std::string(k.fallback ? kFlagYes : kFlagNo) +
           " max=" + std::to_string(k.max_chars) + " words=" + std::string(kFlagYes) + "," +
           std::string(kFlagNo) + "\n";
}

template <typename Value, std::size_t N>
std::string describe(const WordKey<Value, N>& k) {
    std::string line = head(k.section, k.name, "word") + " default=";
    std::string words;
    for (const Word<Value>& word : k.words) {
        if (word.value == k.fallback) line += std::string(word.text);
        words += (words.empty() ? "" : ",") + std::string(word.text);
    }
    if (k.max_chars > 0) line += " max=" + std::to_string(k.max_chars);
    return line + " words=" + words + "\n";
}

std::string describe(const ListKey& k) {
    return head(k.section, k.name, "list") + " entries=" + std::to_string(k.max_entries) +
           " tokens=" + std::to_string(k.token_chars[0]) + "," + std::to_string(k.token_chars[1]) +
           "," + std::to_string(k.token_chars[2]) + "\n";
}

}  // namespace

std::string describe_global_keys() {
    std::string text;
    for_each_global_key([&](const auto& key) { text += describe(key); });
    return text;
}

std::string describe_account_keys() {
    std::string text;
    for_each_account_key([&](const auto& key) { text += describe(key); });
    return text;
}

}  // namespace kesto::settings
