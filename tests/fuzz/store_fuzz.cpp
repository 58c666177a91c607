// The profile store's reads and writes over arbitrary file contents; on a file the
// store built itself, every value written reads back exactly (line breaks removed).
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <fstream>
#include <map>
#include <string>

#include "base/ascii.h"
#include "common/profile_store.h"
#include "private_folder.h"

using kesto::common::ProfileStore;

namespace {

const char* const kSections[] = {"GLOBAL", "USERLIST", "USERdemo", "userDEMO", "INIFILEVERSION"};
const char* const kKeys[] = {"PASS", "PASSWORD", "PATH", "path", "VERSION", "USERS"};

std::string upper(std::string s) {
    for (char& c : s) c = kesto::ascii::to_upper(c);
    return s;
}

std::string expected_value(std::string value) {
    std::string out;
    for (char c : value) {
        if (c != '\r' && c != '\n') out.push_back(c == '\0' ? ' ' : c);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string path =
        (make_private_folder("kesto-store-fuzz") / "KestoFTP.ini").string();
    FuzzedDataProvider in(data, size);
    const bool built_by_store = in.ConsumeBool();
    {
        std::ofstream file(path, std::ios::binary | std::ios::trunc);
        if (!built_by_store) file << in.ConsumeRandomLengthString(4096);
    }
    ProfileStore store(path);
    store.set_caching(in.ConsumeBool());  // caching saves the disk round trips
    std::map<std::pair<std::string, std::string>, std::string> written;
    for (int step = 0; step < 64 && in.remaining_bytes() > 0; ++step) {
        const std::string section = kSections[in.ConsumeIntegralInRange<std::size_t>(0, 4)];
        const std::string key = kKeys[in.ConsumeIntegralInRange<std::size_t>(0, 5)];
        const auto name = std::make_pair(upper(section), upper(key));
        switch (in.ConsumeIntegralInRange(0, 5)) {
            case 0: {
                std::string value = in.ConsumeRandomLengthString(64);
                store.write_text(section, key, value);
                written[name] = expected_value(value);
                break;
            }
            case 1:
                store.delete_key(section, key);
                written.erase(name);
                break;
            case 2:
                store.delete_section(section);
                std::erase_if(written, [&](const auto& e) { return e.first.first == name.first; });
                break;
            case 3:
                (void)store.read_int(section, key, 7, -5, 500);
                written.erase(name);  // it may have repaired the value
                break;
            case 4:
                (void)store.read_flag(section, key, in.ConsumeBool());
                written.erase(name);
                break;
            default:
                store.set_caching(!store.set_caching(false));  // flush and go on as before
        }
        if (store.last_write_failed()) std::abort();
    }
    store.flush();
    if (!built_by_store) return 0;
    for (const auto& [name, value] : written) {
        if (store.read_text(name.first, name.second, "\x01missing", 4096) != value) std::abort();
    }
    return 0;
}
