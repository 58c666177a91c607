// The server process: single instance, stop switch, start-up failures, the event log.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>

#include "name_holder.h"
#include "test_server.h"

using namespace kesto::test;

namespace {

bool contains(const std::string& text, const std::string& part) {
    return text.find(part) != std::string::npos;
}

bool ends_with(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

}  // namespace

TEST(ServerProcess, HelpAndVersionDoNotServe) {
    ProgramFolder folder;
    EXPECT_EQ(run_kftpd(folder, {"--help"}).exit_status, 0);
    EXPECT_EQ(run_kftpd(folder, {"--version"}).exit_status, 0);
}

TEST(ServerProcess, SecondServerIsRefusedAndStopSwitchStopsTheFirst) {
    ProgramFolder folder;
    ServerUnderTest server(folder);
    ASSERT_TRUE(server.ready());

    const RunResult second = run_kftpd(folder, {folder.config().string()});
    EXPECT_EQ(second.exit_status, 1);
    EXPECT_EQ(second.stderr_text, "KESTO FTP Server: Server is already running!\n");
    FtpConnection still_serving(server.port());
    EXPECT_EQ(still_serving.reply().substr(0, 4), "220-");

    const RunResult stop = run_kftpd(folder, {"-S", "ignored.ini"});
    EXPECT_EQ(stop.exit_status, 0);
    EXPECT_EQ(stop.stderr_text, "");
    // The log is closed before the stop is acknowledged.
    EXPECT_TRUE(ends_with(read_file(folder.log()), "Logging stopped.\r\n"));
    EXPECT_EQ(server.wait_exit(), 0);

    const RunResult again = run_kftpd(folder, {"-s"});
    EXPECT_EQ(again.exit_status, 1);
    EXPECT_EQ(again.stderr_text,
              "KESTO FTP Server: Can not shutdown server, since it isn't running.\n");
}

TEST(ServerProcess, AHolderOfTheNameThatIsNotAServerIsReportedNotObeyed) {
    ProgramFolder folder;
    folder.write_config(free_port());
    const std::string prefix =
        "KESTO FTP Server: A process that is not a KESTO FTP server holds "
        "this program folder's control name; ";
    for (const std::string answer : {"", "\x01"}) {  // silent; the "allowed" of older servers
        NameHolder holder(folder.path().string(), answer);
        ASSERT_TRUE(holder.holding());
        const RunResult start = run_kftpd(folder, {folder.config().string()});
        EXPECT_EQ(start.exit_status, 1);
        EXPECT_EQ(start.stderr_text, prefix + "the server cannot start.\n");
        const RunResult stop = run_kftpd(folder, {"-s"});
        EXPECT_EQ(stop.exit_status, 1);
        EXPECT_EQ(stop.stderr_text, prefix + "nothing was stopped.\n");
    }
    EXPECT_FALSE(fs::exists(folder.log()));
}

// Only root can hold the name as another user; CI runs as root.
TEST(ServerProcess, AnotherUsersHolderIsNeverBelieved) {
    if (::geteuid() != 0) GTEST_SKIP() << "needs root to run a holder as another user";
    ProgramFolder folder;
    folder.write_config(free_port());
    // It answers probes and stops exactly as a server does: only its user id gives it away.
    ForeignHolder holder(folder.path().string(), 65534);
    ASSERT_TRUE(holder.holding());
    const std::string prefix =
        "KESTO FTP Server: Another user's process holds this program folder's control name; ";
    const RunResult start = run_kftpd(folder, {folder.config().string()});
    EXPECT_EQ(start.exit_status, 1);
    EXPECT_EQ(start.stderr_text, prefix + "the server cannot start.\n");
    const RunResult stop = run_kftpd(folder, {"-s"});
    EXPECT_EQ(stop.exit_status, 1);
    EXPECT_EQ(stop.stderr_text, prefix + "nothing was stopped.\n");
}

TEST(ServerProcess, SilentPeersOnTheNameDoNotDelayTheStopSwitch) {
    ProgramFolder folder;
    ServerUnderTest server(folder);
    ASSERT_TRUE(server.ready());
    std::vector<kesto::platform::UniqueFd> crowd;
    for (int i = 0; i < 40; ++i) crowd.push_back(silent_connection(folder.path().string()));
    const auto begin = std::chrono::steady_clock::now();
    const RunResult stop = run_kftpd(folder, {"-s"});
    // Served one by one, the silent peers held a stop for 2 s each.
    EXPECT_LT(std::chrono::steady_clock::now() - begin, 8s);
    EXPECT_EQ(stop.exit_status, 0);
    EXPECT_EQ(stop.stderr_text, "");
    EXPECT_EQ(server.wait_exit(), 0);
}

TEST(ServerProcess, StopThenStartAtOnceBindsAgain) {
    ProgramFolder folder;
    auto server = std::make_unique<ServerUnderTest>(folder);
    ASSERT_TRUE(server->ready());
    const int port = server->port();
    ASSERT_EQ(run_kftpd(folder, {"-s"}).exit_status, 0);
    EXPECT_EQ(server->wait_exit(), 0);
    server.reset();
    // Same port, same folder: the port and the name were freed before the stop was answered.
    folder.write_config(port);
    ServerUnderTest restarted(folder);
    EXPECT_TRUE(restarted.ready());
}

TEST(ServerProcess, TermSignalStopsCleanly) {
    ProgramFolder folder;
    ServerUnderTest server(folder, "FATAL");
    ASSERT_TRUE(server.ready());
    ::kill(server.pid(), SIGTERM);
    EXPECT_EQ(server.wait_exit(), 0);
    const std::string log = read_file(folder.log());
    EXPECT_TRUE(contains(log, "Logging started.\r\n"));
    EXPECT_TRUE(ends_with(log, "Logging stopped.\r\n"));
}

TEST(ServerProcess, MissingConfigurationOpensNothing) {
    ProgramFolder folder;
    const RunResult r = run_kftpd(folder, {(folder.path() / "absent.ini").string()});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.stderr_text, "KESTO FTP Server: Error reading the configuration file!\n");
    EXPECT_FALSE(fs::exists(folder.log()));
    // Without an argument the file beside the program is used; it is missing too.
    EXPECT_EQ(run_kftpd(folder, {}).exit_status, 1);
}

TEST(ServerProcess, BadConfigurationAndUnopenableLog) {
    ProgramFolder folder;
    folder.write_config(free_port(), "LOUD");
    EXPECT_EQ(run_kftpd(folder, {folder.config().string()}).stderr_text,
              "KESTO FTP Server: Error reading the configuration file!\n");
    write_file(folder.config(),
               "[GLOBAL]\r\nLOG_LEVEL=FATAL\r\nLOG_FILENAME=/NONEXISTENT/DIR/X.LOG\r\n");
    const RunResult r = run_kftpd(folder, {folder.config().string()});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(
        r.stderr_text,
        "KESTO FTP Server: Error opening the log file specified in the configuration file!\n");
    write_file(folder.config(), "[GLOBAL]\r\nLOG_LEVEL=FATAL\r\n");
    EXPECT_EQ(run_kftpd(folder, {folder.config().string()}).exit_status, 1);
}

TEST(ServerProcess, BusyPortIsReported) {
    ProgramFolder first_folder;
    ServerUnderTest first(first_folder);
    ASSERT_TRUE(first.ready());
    ProgramFolder folder;
    folder.write_config(first.port(), "FATAL");
    const RunResult r = run_kftpd(folder, {folder.config().string()});
    EXPECT_EQ(r.exit_status, 1);
    EXPECT_EQ(r.stderr_text,
              "KESTO FTP Server: Error starting the service. Consult the log file for details!\n");
    const std::string log = read_file(folder.log());
    EXPECT_TRUE(contains(log, "  (Listener) Unable to bind socket.\r\n! ")) << log;
    EXPECT_TRUE(contains(log, "  (Listener) Listener terminated.\r\n! ")) << log;
    EXPECT_TRUE(ends_with(log, "Logging stopped.\r\n"));
}

TEST(ServerProcess, AFullDiskForTheLogDoesNotStopTheServer) {
    ProgramFolder folder;
    fs::create_symlink("/dev/full", folder.log());  // every write fails with ENOSPC
    ServerUnderTest server(folder);
    ASSERT_TRUE(server.ready());
    FtpConnection c(server.port());
    EXPECT_EQ(c.reply().substr(0, 4), "220-");
    for (int i = 0; i < 3; ++i) EXPECT_EQ(c.command("NOOP"), "200 Command okay.\r\n");
    EXPECT_TRUE(server.running());
    const RunResult stop = run_kftpd(folder, {"-s"});
    EXPECT_EQ(stop.exit_status, 0);
    EXPECT_EQ(server.wait_exit(), 0);
}

TEST(ServerProcess, ABrokenLogStillStopsTheServer) {
    ProgramFolder folder;
    // The file-size limit fails log writes with EFBIG once the log passes 2 KiB.
    ServerUnderTest server(folder, "EXTREME", "", 2048);
    ASSERT_TRUE(server.ready());
    FtpConnection c(server.port());
    c.reply();
    for (int i = 0; i < 200 && c.command("NOOP") == "200 Command okay.\r\n"; ++i) {
    }
    EXPECT_EQ(server.wait_exit(), 1);
    EXPECT_TRUE(contains(read_file(folder.path() / "stderr.txt"),
                         "KESTO FTP Server: Error writing to the log file, -service aborting.\n"));
}

TEST(ServerProcess, LogLevelNoneCreatesNoFile) {
    ProgramFolder folder;
    {
        ServerUnderTest server(folder, "NONE");
        ASSERT_TRUE(server.ready());
        FtpConnection c(server.port());
        EXPECT_EQ(c.reply().substr(0, 4), "220-");
    }
    EXPECT_FALSE(fs::exists(folder.log()));
}

TEST(ServerProcess, TwoRunsAppendToOneLogEachFramed) {
    ProgramFolder folder;
    for (int run = 0; run < 2; ++run) {
        ServerUnderTest server(folder, "INFORMATIONAL");
        ASSERT_TRUE(server.ready());
        ASSERT_EQ(run_kftpd(folder, {"-s"}).exit_status, 0);
        ASSERT_EQ(server.wait_exit(), 0);
    }
    const std::string log = read_file(folder.log());
    std::vector<std::string> framing;
    std::size_t start = 0;
    while (start < log.size()) {
        const std::size_t end = log.find("\r\n", start);
        const std::string line = log.substr(start, end - start);
        if (contains(line, "Logging st")) framing.push_back(line.substr(0, 1) + line.substr(22));
        start = end + 2;
    }
    EXPECT_EQ(framing, (std::vector<std::string>{"!Logging started.", "!Logging stopped.",
                                                 "!Logging started.", "!Logging stopped."}));
    EXPECT_TRUE(contains(log, "  (Listener) Listener started, listing on IP 127.0.0.1\r\n"));
}
