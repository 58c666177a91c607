// The settings dialog's rules without a window, and the system's dotted-address reading
// that decides whether a stored address is a specific one.
#include "manager/settings_checks.h"

#include <gtest/gtest.h>

#include "platform/net.h"
#include "settings/keys.h"

namespace kesto::manager {
namespace {

TEST(SettingsChecks, LogLevelWordsAndEntries) {
    EXPECT_EQ(log_level_index("none"), 0);
    EXPECT_EQ(log_level_index("Fatal"), 1);
    EXPECT_EQ(log_level_index("INFORMATIONAL"), 2);
    EXPECT_EQ(log_level_index("EXTREME"), 2);
    EXPECT_EQ(log_level_index(""), 2);
    EXPECT_EQ(log_level_word(0), "NONE");
    EXPECT_EQ(log_level_word(1), "FATAL");
    EXPECT_EQ(log_level_word(2), "INFORMATIONAL");
    EXPECT_EQ(log_level_word(-1), "INFORMATIONAL");  // no selection
}

TEST(SettingsChecks, AddressPartsTakeTheirLeadingNumber) {
    EXPECT_EQ(address_part("007"), 7);
    EXPECT_EQ(address_part(" 12x "), 12);
    EXPECT_EQ(address_part("255"), 255);
    EXPECT_EQ(address_part("0"), 0);
    EXPECT_EQ(address_part("256"), std::nullopt);
    EXPECT_EQ(address_part("99999999999999999999"), std::nullopt);
    EXPECT_EQ(address_part(""), std::nullopt);
    EXPECT_EQ(address_part("   "), std::nullopt);
    EXPECT_EQ(address_part("x1"), std::nullopt);
    EXPECT_EQ(address_part("-1"), std::nullopt);
}

TEST(SettingsChecks, LogFileKeepsOnlyTheBareName) {
    EXPECT_EQ(bare_log_file_name(R"(C:\logs\ftp.log)"), "ftp.log");
    EXPECT_EQ(bare_log_file_name("/var/log/ftp.log"), "ftp.log");
    EXPECT_EQ(bare_log_file_name(R"("C:\logs\ftp.log")"), "ftp.log");
    EXPECT_EQ(bare_log_file_name(R"(C:\logs\"ftp.log")"), "ftp.log");
    EXPECT_EQ(bare_log_file_name("  kftpd.log  "), "kftpd.log");
    EXPECT_EQ(bare_log_file_name(""), "");
    EXPECT_EQ(bare_log_file_name("/"), "");
}

TEST(SettingsChecks, NumbersMustBeWholeAndInRange) {
    const settings::NumberKey& port = settings::kSystemPort;
    EXPECT_EQ(number_in_range("1", port), 1);
    EXPECT_EQ(number_in_range(" 65535 ", port), 65535);
    EXPECT_EQ(number_in_range("0", port), std::nullopt);
    EXPECT_EQ(number_in_range("65536", port), std::nullopt);
    EXPECT_EQ(number_in_range("80x", port), std::nullopt);
    EXPECT_EQ(number_in_range("-21", port), std::nullopt);
    EXPECT_EQ(number_in_range("+21", port), std::nullopt);
    EXPECT_EQ(number_in_range("", port), std::nullopt);
    EXPECT_EQ(number_in_range("99999999999999999999999", port), std::nullopt);
    EXPECT_EQ(number_in_range("0", settings::kIdleTimeout), 0);
}

TEST(DottedAddress, ReadsAsTheSystemDoes) {
    const auto octets = [](const std::string& text) {
        const auto address = platform::parse_dotted_address(text);
        return address ? platform::to_text(*address) : std::string("none");
    };
    EXPECT_EQ(octets("192.168.1.10"), "192.168.1.10");
    EXPECT_EQ(octets("10.1"), "10.0.0.1");  // the last part fills the rest
    EXPECT_EQ(octets("0x7f.1"), "127.0.0.1");
    EXPECT_EQ(octets("010.0.0.1"), "8.0.0.1");  // octal
    EXPECT_EQ(octets("1.2.3.4 trailing"), "1.2.3.4");
    EXPECT_EQ(octets("256.1.1.1"), "none");
    EXPECT_EQ(octets(""), "none");
    EXPECT_EQ(octets("host"), "none");
}

}  // namespace
}  // namespace kesto::manager
