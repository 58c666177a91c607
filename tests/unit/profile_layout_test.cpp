// The layout a sequence of writes produces, byte for byte, and a randomised
// model check of long edit sequences.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <random>
#include <string>

#include "profile/profile_engine.h"

using kesto::profile::apply_edit;
using kesto::profile::kServerNameLimits;
using kesto::profile::lookup;

namespace {

std::string hashes(std::size_t n) {
    return std::string(n, '#');
}

void set(std::string& text, const std::string& section, const std::string& key,
         const std::string& value) {
    apply_edit(text, section, key, value, kServerNameLimits);
}

const std::string kGlobalBanner = "## GLOBAL " + hashes(69);
const std::string kUsersBanner = "## USERS " + hashes(70);

}  // namespace

TEST(ProfileLayout, NewFileLiteralOfTheStore) {
    std::string text;
    set(text, "IniFileVersion", "Version", "200");
    EXPECT_EQ(text,
              "\r\n## INIFILEVERSION "
              "#############################################################\r\n\r\n"
              "[INIFILEVERSION]\r\nVERSION\t\t= 200\r\n");
}

TEST(ProfileLayout, SuccessiveWritesBuildTheDocumentedLayout) {
    std::string text;
    set(text, "GLOBAL", "SYSTEM_ADDRESS", "127.0.0.1");
    set(text, "USERS", "USERLIST", "demo");
    set(text, "GLOBAL", "LOG_FILENAME", "/tmp/kftpd.log");
    set(text, "GLOBAL", "LOG_LEVEL", "FATAL");
    const std::string expected = "\r\n" + kGlobalBanner +
                                 "\r\n\r\n[GLOBAL]\r\n"
                                 "SYSTEM_ADDRESS\t= 127.0.0.1\r\n"
                                 "LOG_FILENAME\t= /tmp/kftpd.log\r\n"
                                 "LOG_LEVEL\t= FATAL\r\n"
                                 "\r\n" +
                                 kUsersBanner +
                                 "\r\n\r\n[USERS]\r\n"
                                 "USERLIST\t= demo\r\n";
    EXPECT_EQ(text, expected);

    // Deleting a section takes its banner and the empty line in front of it.
    std::string without_global = text;
    apply_edit(without_global, "global", std::nullopt, std::nullopt, kServerNameLimits);
    EXPECT_EQ(without_global, "\r\n" + kUsersBanner + "\r\n\r\n[USERS]\r\nUSERLIST\t= demo\r\n");

    // Deleting a middle section leaves the previous key line, an empty line, the next banner.
    set(text, "USERDEMO", "PASS", "secret");
    apply_edit(text, "USERS", std::nullopt, std::nullopt, kServerNameLimits);
    EXPECT_NE(text.find("LOG_LEVEL\t= FATAL\r\n\r\n## USERDEMO "), std::string::npos) << text;
    EXPECT_EQ(text.find("USERS"), std::string::npos);

    // Deleting the last section cuts the file there.
    apply_edit(text, "USERDEMO", std::nullopt, std::nullopt, kServerNameLimits);
    EXPECT_EQ(text.substr(text.size() - 19), "LOG_LEVEL\t= FATAL\r\n");
}

namespace {

using Model = std::map<std::string, std::map<std::string, std::string>>;

std::string upper(std::string s) {
    for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return s;
}

std::string random_case(std::string s, std::mt19937& rng) {
    for (auto& c : s) {
        if (rng() % 2) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return s;
}

std::string random_value(std::mt19937& rng) {
    static const std::string alphabet = "abcXYZ0123456789_.,:/\\-[]= ";
    std::string v(rng() % 12, 'x');
    for (auto& c : v) c = alphabet[rng() % alphabet.size()];
    // The writer trims and the reader unquotes: keep values that survive both unchanged.
    while (!v.empty() && v.back() == ' ') v.pop_back();
    while (!v.empty() && v.front() == ' ') v.erase(v.begin());
    if (!v.empty() && v.front() == '[') v.front() = 'b';
    return v;
}

int header_count(const std::string& text, const std::string& section) {
    int count = 0;
    const std::string wanted = "[" + upper(section) + "]";
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        std::string line = upper(text.substr(start, end - start));
        line.erase(0, line.find_first_not_of(" \t\r"));
        if (line.rfind(wanted, 0) == 0) ++count;
        start = end + 1;
    }
    return count;
}

void check_against_model(const std::string& text, const Model& model,
                         const std::vector<std::string>& sections,
                         const std::vector<std::string>& keys, int step) {
    for (const auto& section : sections) {
        ASSERT_LE(header_count(text, section), 1) << "step " << step << "\n" << text;
        const auto it = model.find(section);
        for (const auto& key : keys) {
            const auto got = lookup(text, section, key, 1024);
            const bool present = it != model.end() && it->second.count(key);
            if (present) {
                ASSERT_TRUE(got) << "step " << step << " lost " << section << "/" << key;
                ASSERT_EQ(*got, it->second.at(key))
                    << "step " << step << " " << section << "/" << key;
            } else {
                ASSERT_FALSE(got) << "step " << step << " stale " << section << "/" << key;
            }
        }
    }
}

}  // namespace

TEST(ProfileLayout, RandomEditSequencesMatchAModel) {
    const std::vector<std::string> sections = {
        "GLOBAL", "USERS", "USERDEMO", "USERDEMO2", "A", std::string(70, 'L'), "INIFILEVERSION"};
    const std::vector<std::string> keys = {"PASS",
                                           "PASSWORD",
                                           "P",
                                           "PATH",
                                           "SYS",
                                           "READ_ONLY",
                                           "ROOT_ONLY",
                                           "SYSTEM_ADDRESS",
                                           "LOG_LEVEL_OF_THE_SERVER"};
    for (unsigned seed = 1; seed <= 20; ++seed) {
        std::mt19937 rng(seed);
        std::string text;
        Model model;
        for (int step = 0; step < 400; ++step) {
            const auto& section = sections[rng() % sections.size()];
            const auto& key = keys[rng() % keys.size()];
            const unsigned op = rng() % 10;
            if (op < 7) {
                const std::string value = random_value(rng);
                set(text, random_case(section, rng), random_case(key, rng), value);
                model[section][key] = value;
            } else if (op < 9) {
                apply_edit(text, section, random_case(key, rng), std::nullopt, kServerNameLimits);
                if (model.count(section)) model[section].erase(key);
            } else {
                apply_edit(text, random_case(section, rng), std::nullopt, std::nullopt,
                           kServerNameLimits);
                model.erase(section);
            }
            check_against_model(text, model, sections, keys, step);
            if (HasFatalFailure()) {
                ADD_FAILURE() << "seed " << seed;
                return;
            }
        }
    }
}
