// HELP names every command of the table: a command added to the table without its
// HELP entry, or a HELP entry left for a removed one, is caught here.
#include <gtest/gtest.h>

#include <set>

#include "memory_connection.h"
#include "server/protocol/command_table.h"

using namespace kesto::server;

TEST(Help, NamesEveryWordOfTheCommandTable) {
    const ServerConfig config;
    const LogPoster log{LogLevel::none, [](LogLevel, const std::string&) {}};
    ClientSlots slots;
    ServerContext context{config, log, "/nonexistent/KestoFTP.ini", slots};
    kesto::test::MemoryConnection control;
    Session session(context, slots[0], control);
    dispatch(session, "HELP");
    const std::string& help = control.sent();

    std::set<std::string> named;  // the words behind "[+]" and "[-]"
    for (std::size_t at = help.find(']'); at != std::string::npos; at = help.find(']', at + 1)) {
        const std::size_t end = help.find_first_of(" \r", at);
        named.insert(help.substr(at + 1, end - at - 1));
    }
    std::set<std::string> table;
    for (std::string_view word : command_words()) table.emplace(word);
    EXPECT_EQ(named, table) << help;
}
