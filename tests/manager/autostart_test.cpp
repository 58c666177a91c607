// The autostart entry: where it goes, how its Exec line quotes a program folder with
// awkward characters, and that the entry it writes names this folder's server.
#include "manager/autostart.h"

#include <gtest/gtest.h>
#include <stdlib.h>  // NOLINT(modernize-deprecated-headers): setenv, mkdtemp

#include <filesystem>
#include <string>
#include <vector>

namespace kesto::manager {
namespace {

namespace fs = std::filesystem;

class Autostart : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "kesto-autostart-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        temp_ = pattern;
    }
    void TearDown() override {
        ::unsetenv("XDG_CONFIG_DIRS");
        fs::remove_all(temp_);
    }
    static void use_config_dirs(const std::string& value) {
        ASSERT_EQ(::setenv("XDG_CONFIG_DIRS", value.c_str(), 1), 0);
    }

    fs::path temp_;
};

TEST_F(Autostart, TheFolderIsTheFirstAbsoluteConfigFolder) {
    use_config_dirs("/opt/xdg-one:/etc/xdg-two");
    EXPECT_EQ(autostart_folder(), "/opt/xdg-one/autostart");
    use_config_dirs("relative:/etc/xdg-two");
    EXPECT_EQ(autostart_folder(), "/etc/xdg-two/autostart");
    use_config_dirs("");
    EXPECT_EQ(autostart_folder(), "/etc/xdg/autostart");
    ::unsetenv("XDG_CONFIG_DIRS");
    EXPECT_EQ(autostart_folder(), "/etc/xdg/autostart");
}

TEST_F(Autostart, ExecQuotesEveryReservedCharacterAndParsesBack) {
    const std::string folder = R"(/opt/Kesto "FTP" $HOME `x` back\slash 100%)";
    const std::string entry = autostart_entry(folder);
    const std::string expected_exec =
        R"(Exec="/opt/Kesto \\"FTP\\" \\$HOME \\`x\\` back\\\\slash 100%%/kftpd" )"
        R"("/opt/Kesto \\"FTP\\" \\$HOME \\`x\\` back\\\\slash 100%%/cfg/KestoFTP.ini")";
    EXPECT_EQ(entry, "[Desktop Entry]\nType=Application\nName=KESTO FTP Service\n" + expected_exec +
                         "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    const std::vector<std::string> arguments =
        exec_arguments(expected_exec.substr(std::string("Exec=").size()));
    EXPECT_EQ(arguments,
              (std::vector<std::string>{folder + "/kftpd", folder + "/cfg/KestoFTP.ini"}));
}

TEST_F(Autostart, UnquotedArgumentsSplitAtBlanks) {
    EXPECT_EQ(exec_arguments("/usr/bin/kftpd  /etc/kesto.ini"),
              (std::vector<std::string>{"/usr/bin/kftpd", "/etc/kesto.ini"}));
}

TEST_F(Autostart, OnWritesTheEntryOffRemovesIt) {
    use_config_dirs((temp_ / "xdg").string() + ":/etc/xdg");
    const std::string folder = "/opt/kesto ftp";
    ASSERT_TRUE(autostart_writable());  // creates the missing folders
    EXPECT_FALSE(autostart_enabled(folder));
    ASSERT_TRUE(set_autostart(folder, true));
    const fs::path entry = temp_ / "xdg/autostart/kesto-ftp-service.desktop";
    EXPECT_TRUE(fs::is_regular_file(entry));
    EXPECT_EQ(fs::status(entry).permissions(), fs::perms(0644));
    EXPECT_TRUE(autostart_enabled(folder));
    EXPECT_TRUE(autostart_enabled(folder + "/"));
    EXPECT_FALSE(autostart_enabled("/opt/kesto"));  // another program folder's server
    ASSERT_TRUE(set_autostart(folder, false));
    EXPECT_FALSE(fs::exists(entry));
    EXPECT_TRUE(set_autostart(folder, false));  // already gone
    // Only the entry was ever left behind: the write probe is removed again.
    EXPECT_TRUE(fs::is_empty(temp_ / "xdg/autostart"));
}

TEST_F(Autostart, AFileWhereAFolderBelongsIsNotWritable) {
    std::FILE* file = std::fopen((temp_ / "plain").c_str(), "w");
    ASSERT_NE(file, nullptr);
    std::fclose(file);
    use_config_dirs((temp_ / "plain/xdg").string());
    EXPECT_FALSE(autostart_writable());
    EXPECT_FALSE(autostart_enabled("/opt/kesto"));
    EXPECT_FALSE(set_autostart("/opt/kesto", true));
}

}  // namespace
}  // namespace kesto::manager
