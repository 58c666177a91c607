#include "manager/account_list.h"

#include <gtest/gtest.h>

#include <string>

namespace kesto::manager {
namespace {

TEST(AccountList, ListsNamesInOrderSkippingEmptyTokens) {
    EXPECT_EQ(listed_names("  bob  ,, alice,"), (std::vector<std::string>{"bob", "alice"}));
    EXPECT_EQ(listed_names(""), std::vector<std::string>{});
    EXPECT_EQ(listed_names(std::string(40, 'x')), std::vector<std::string>{std::string(32, 'x')});
    EXPECT_TRUE(lists_name("  bob  ,, alice,", "ALICE"));
    EXPECT_FALSE(lists_name("bob,alice", "ali"));
    EXPECT_FALSE(lists_name("bob,,alice", ""));
}

TEST(AccountList, RebuildsWithoutANameAndAppends) {
    EXPECT_EQ(users_without("bob, Alice ,carl", "alice"), "bob,carl");
    EXPECT_EQ(users_without("alice,bob", " ALICE "), "bob");
    EXPECT_EQ(users_without("bob,,carl", "carl"), "bob,") << "empty tokens are kept";
    EXPECT_EQ(users_with("", "bob"), "bob");
    EXPECT_EQ(users_with("bob", "carl"), "bob,carl");
    EXPECT_TRUE(users_fit(std::string(4095, 'a')));
    EXPECT_FALSE(users_fit(std::string(4096, 'a')));
}

}  // namespace
}  // namespace kesto::manager
