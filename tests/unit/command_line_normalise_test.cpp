// The normalisation every command line goes through before it runs.
#include <gtest/gtest.h>

#include "server/protocol/command_table.h"

using kesto::server::normalise_command_line;

TEST(NormaliseCommandLine, BlanksCaseAndLineEnds) {
    EXPECT_EQ(normalise_command_line("  user   john  "), "USER JOHN");
    EXPECT_EQ(normalise_command_line("retr part1.nc\r\nNOOP"), "RETR PART1.NC");
    EXPECT_EQ(normalise_command_line("cwd a\nb\rc"), "CWD A");
    EXPECT_EQ(normalise_command_line("stor a\t\tb  c"), "STOR A\t\tB C");
    EXPECT_EQ(normalise_command_line("   "), "");
    EXPECT_EQ(normalise_command_line("pass MiXeD\xe4"), "PASS MIXED\xe4");
}
