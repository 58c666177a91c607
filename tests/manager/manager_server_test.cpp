// The server logs in accounts the manager wrote, from the file as the manager left it:
// one for a machine control and one for desktop clients (DESKTOP).
#include <gtest/gtest.h>

#include "common/profile_store.h"
#include "manager/account_file.h"
#include "test_server.h"

namespace kesto::manager {
namespace {

TEST(ManagerAndServer, AnAccountTheManagerAddedLogsIn) {
    test::ProgramFolder folder;
    const test::fs::path home = folder.path() / "home";
    test::fs::create_directories(home);
    {
        common::ProfileStore store(folder.accounts().string());
        AccountFile accounts(store);
        (void)accounts.load();  // completes a new file, as the window's start does
        AccountValues carl;
        carl.name = "carl";
        carl.password = "s3cret pass";
        carl.folder = home.string();
        carl.confined = true;
        carl.listing_style = ListingStyle::okuma;
        ASSERT_TRUE(accounts.add(carl));
        AccountValues dora = carl;  // the same, for desktop clients
        dora.name = "dora";
        dora.desktop = true;
        ASSERT_TRUE(accounts.add(dora));
        ASSERT_FALSE(accounts.failed());
        EXPECT_TRUE(accounts.read("dora").desktop);
        EXPECT_FALSE(accounts.read("carl").desktop);
    }
    test::ServerUnderTest server(folder);
    ASSERT_TRUE(server.ready());
    auto control = test::logged_in(server.port(), "carl", "s3cret pass");
    ASSERT_NE(control, nullptr);
    const std::string real = test::fs::canonical(home).string();
    EXPECT_EQ(control->command("PWD"), "257 \"" + real + "\" is current directory.\r\n");
    EXPECT_EQ(control->command("SYST").substr(0, 4), "215 ");
    auto desktop = test::logged_in(server.port(), "dora", "s3cret pass");
    ASSERT_NE(desktop, nullptr);
    EXPECT_EQ(desktop->command("PWD"), "257 \"/\" is current directory.\r\n");
    test::FtpConnection stranger(server.port());
    ASSERT_FALSE(stranger.reply().empty());
    EXPECT_FALSE(stranger.login("carl", "wrong"));
}

}  // namespace
}  // namespace kesto::manager
