// The configuration's key tables: names, kinds, defaults and limits pinned by golden
// files, and the server's GLOBAL scanner reading every key of its table by the rows.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "server/config/server_config.h"
#include "settings/describe.h"
#include "settings/keys.h"

using namespace kesto::settings;

namespace {

std::string golden(const char* name) {
    std::ifstream in(std::string(KESTO_GOLDEN_DIR) + "/" + name);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// A value each kind of key accepts, and one just past its limits.
struct Probe {
    std::string good, bad;
};

Probe probe(const AddressKey&) {
    return {"10.0.0.1", "10.0.0"};
}
Probe probe(const Address6Key&) {
    return {"::1", "1.2.3.4"};
}
Probe probe(const PortRangeKey& k) {
    return {std::to_string(k.low) + "-" + std::to_string(k.high),
            std::to_string(k.low - 1) + "-" + std::to_string(k.high)};
}
Probe probe(const NumberKey& k) {
    return {std::to_string(k.low), std::to_string(k.high + 1)};
}
Probe probe(const TextKey& k) {
    return {"X", std::string(k.max_chars + 1, 'X')};
}
Probe probe(const ListKey&) {
    return {"A,B,C", "A,B"};
}
template <typename Value, std::size_t N>
Probe probe(const WordKey<Value, N>& k) {
    return {std::string(k.words.back().text), "NOSUCHWORD"};
}

}  // namespace

TEST(SettingsKeys, TablesMatchTheirGoldenFiles) {
    EXPECT_EQ(describe_global_keys(), golden("global_keys.txt"));
    EXPECT_EQ(describe_account_keys(), golden("account_keys.txt"));
}

TEST(SettingsKeys, TheServerScannerReadsEveryGlobalKeyByItsRow) {
    for_each_global_key([](const auto& key) {
        const std::string name(key.name);
        const Probe p = probe(key);
        kesto::server::ServerConfig config;
        EXPECT_EQ(kesto::server::parse_server_config(name + "=" + p.good + "\r\n", config), 0)
            << name;
        EXPECT_EQ(kesto::server::parse_server_config(name + "=" + p.bad + "\r\n", config), 1)
            << name;
    });
}

TEST(SettingsKeys, RecordDefaultsAreTheTableDefaults) {
    const ServerConfig config;
    EXPECT_EQ(config.port, kSystemPort.fallback);
    EXPECT_EQ(config.idle_timeout_seconds, kIdleTimeout.fallback);
    EXPECT_EQ(config.log_level, LogLevel::fatal);
    const Account account;
    EXPECT_FALSE(account.confined || account.read_only);
    EXPECT_EQ(system_type_from_name("okuma"), SystemType::OKUMA);
    EXPECT_TRUE(flag_is_set("yEs") && flag_is_set("1") && !flag_is_set(kFlagNo));
}
