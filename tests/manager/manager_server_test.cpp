// The server logs in an account the manager wrote, from the file as the manager left it.
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
        ASSERT_FALSE(accounts.failed());
    }
    test::ServerUnderTest server(folder);
    ASSERT_TRUE(server.ready());
    auto control = test::logged_in(server.port(), "carl", "s3cret pass");
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control->command("PWD").substr(0, 4), "257 ");
    EXPECT_EQ(control->command("SYST").substr(0, 4), "215 ");
    test::FtpConnection stranger(server.port());
    ASSERT_FALSE(stranger.reply().empty());
    EXPECT_FALSE(stranger.login("carl", "wrong"));
}

}  // namespace
}  // namespace kesto::manager
