// The INI engine's read and write paths on arbitrary files, and on files built by
// arbitrary edits, where every key written must read back.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <map>
#include <string>

#include "profile/profile_engine.h"

using namespace kesto::profile;

namespace {

const char* const kSections[] = {"GLOBAL", "USERS", "USERDEMO", "A", "INIFILEVERSION", "global"};
const char* const kKeys[] = {"PASS", "PASSWORD", "P", "PATH", "SYSTEM_ADDRESS", "sys"};

std::string clean_value(std::string v) {
    for (char& c : v) {
        if (c == '\r' || c == '\n' || c == '"' || c == '\0' || c == '[') c = 'x';
    }
    const auto first = v.find_first_not_of(" \t\v\f");
    if (first == std::string::npos) return "";
    const auto last = v.find_last_not_of(" \t\v\f");
    return v.substr(first, last - first + 1);
}

// Arbitrary text: nothing may crash or read out of bounds.
void arbitrary_edits(FuzzedDataProvider& in) {
    std::string content = in.ConsumeRandomLengthString(4096);
    for (int i = 0; i < 8 && in.remaining_bytes() > 0; ++i) {
        const std::string section = in.ConsumeRandomLengthString(16);
        const std::string key = in.ConsumeRandomLengthString(16);
        const std::string value = in.ConsumeRandomLengthString(32);
        (void)lookup(content, section, key, in.ConsumeIntegralInRange<std::size_t>(0, 300));
        switch (in.ConsumeIntegralInRange(0, 2)) {
            case 0:
                apply_edit(content, section, key, value, kServerNameLimits);
                break;
            case 1:
                apply_edit(content, section, key, std::nullopt, kServerNameLimits);
                break;
            default:
                apply_edit(content, section, std::nullopt, std::nullopt, kServerNameLimits);
        }
    }
}

// A file the writer built: every key written and not deleted reads back.
void writer_built(FuzzedDataProvider& in) {
    std::string content;
    std::map<std::pair<std::string, std::string>, std::string> model;
    // Every step checks the whole model, so the steps are capped to keep inputs fast.
    for (int step = 0; step < 128 && in.remaining_bytes() > 0; ++step) {
        const std::string section = kSections[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
        const std::string key = kKeys[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
        std::string upper_section = section, upper_key = key;
        for (char& c : upper_section)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        for (char& c : upper_key)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        const int op = in.ConsumeIntegralInRange(0, 9);
        if (op < 7) {
            const std::string value = clean_value(in.ConsumeRandomLengthString(24));
            apply_edit(content, section, key, value, kServerNameLimits);
            model[{upper_section, upper_key}] = value;
        } else if (op < 9) {
            apply_edit(content, section, key, std::nullopt, kServerNameLimits);
            model.erase({upper_section, upper_key});
        } else {
            apply_edit(content, section, std::nullopt, std::nullopt, kServerNameLimits);
            std::erase_if(model, [&](const auto& e) { return e.first.first == upper_section; });
        }
        for (const auto& [where, value] : model) {
            const auto got = lookup(content, where.first, where.second, 1024);
            if (!got || *got != value) std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    if (in.ConsumeBool()) {
        arbitrary_edits(in);
    } else {
        writer_built(in);
    }
    return 0;
}
