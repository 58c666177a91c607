// Desktop and sync clients against an account for them (DESKTOP = Yes, confined): lftp's
// reverse mirror with --delete and rclone's sync of a tree with lower-case and mixed-case
// names, the root reached as ftp://host:port/, and file times kept by curl -R and lftp on
// a server outside UTC. With the machine controls' rules each of these lost files or
// failed.
#include "interop_support.h"

using namespace kesto::interop;
using kesto::test::read_file;
using kesto::test::write_file;

namespace {

// Names a desktop user has: lower case, mixed case, two names differing only in case,
// two blanks in a row, nested folders.
void make_mixed_tree(const fs::path& root) {
    const std::vector<std::pair<std::string, std::size_t>> files = {{"readme.txt", 300},
                                                                    {"Makefile", 1000},
                                                                    {"b.bin", 4096},
                                                                    {"B.BIN", 257},
                                                                    {"two  blanks.txt", 12},
                                                                    {"src/Main.cpp", 8193},
                                                                    {"src/util.h", 0},
                                                                    {"Docs/Guide.md", 20000},
                                                                    {"Docs/images/Logo.PNG", 70001},
                                                                    {"Mixed Case/Notes.TXT", 99},
                                                                    {"Mixed Case/notes.txt", 100}};
    unsigned seed = 1;
    for (const auto& [name, size] : files) {
        fs::create_directories((root / name).parent_path());
        write_file(root / name, pattern_bytes(size, seed++));
        // Older than six months: the listing shows its year, as ls -l does.
        set_mtime(root / name, utc_time(2021, 6, 7, 8, 9, static_cast<int>(seed)));
    }
}

// rclone's ERROR lines but one: it logs "SetModTime is not supported" after each upload to
// a server without MFMT, and goes on (the time is not compared then, only the size).
std::vector<std::string> rclone_errors(const ClientResult& r) {
    std::vector<std::string> errors;
    for (const std::string& line : lines_of(r.err)) {
        if (line.find("ERROR") != std::string::npos &&
            line.find("SetModTime is not supported") == std::string::npos)
            errors.push_back(line);
    }
    return errors;
}

class DesktopClients : public InteropTest {
  protected:
    ClientResult lftp(const std::string& commands, std::chrono::seconds limit = 60s) {
        const std::string script =
            "set net:max-retries 1; set net:timeout 10; set cmd:fail-exit yes; "
            "set ftp:passive-mode on; open -u " +
            login_name(kDesktopUser) + "," + kPassword + " " + url("/") + "; " + commands;
        return run_client({"lftp", "-c", script}, client_folder(), limit);
    }

    ClientResult curl(const std::string& user, const std::vector<std::string>& args) {
        std::vector<std::string> argv = {
            "curl", "-q",         "--silent", "--show-error", "--noproxy",
            "*",    "--max-time", "20",       "--user",       login_name(user) + ":" + kPassword};
        argv.insert(argv.end(), args.begin(), args.end());
        return run_client(argv, client_folder(), 30s);
    }

    // rclone's FTP backend, configured on the command line (no configuration file), on
    // the loopback address only.
    ClientResult rclone(const std::vector<std::string>& args) {
        if (obscured_.empty()) {
            const ClientResult obscure =
                run_client({"rclone", "obscure", kPassword}, client_folder());
            EXPECT_EQ(obscure.exit_status, 0) << obscure.describe();
            obscured_ = lines_of(obscure.out).empty() ? "" : lines_of(obscure.out)[0];
        }
        std::vector<std::string> argv = {"rclone",
                                         "--config",
                                         (client_folder() / "rclone.conf").string(),
                                         "--ftp-host",
                                         "127.0.0.1",
                                         "--ftp-port",
                                         std::to_string(port()),
                                         "--ftp-user",
                                         login_name(kDesktopUser),
                                         "--ftp-pass",
                                         obscured_,
                                         "--contimeout",
                                         "10s",
                                         "--timeout",
                                         "20s",
                                         "--retries",
                                         "1",
                                         "--low-level-retries",
                                         "1"};
        argv.insert(argv.end(), args.begin(), args.end());
        return run_client(argv, client_folder(), 60s);
    }

    std::string obscured_;
};

}  // namespace

TEST_F(DesktopClients, LftpReverseMirrorWithDeleteConvergesAndKeepsWhatItWrote) {
    const fs::path tree = client_folder() / "tree";
    make_mixed_tree(tree);
    for (int run = 1; run <= 2; ++run) {
        const ClientResult r = lftp("mirror -R --delete --verbose tree /");
        ASSERT_EQ(r.exit_status, 0) << "run " << run << "\n" << r.describe();
        EXPECT_EQ(compare_trees(tree, desk()), "") << "run " << run << "\n" << r.describe();
        EXPECT_EQ(r.out.find("Removing old"), std::string::npos) << r.describe();
        if (run == 2) {
            EXPECT_EQ(r.out.find("Transferring"), std::string::npos) << r.describe();
        }
    }
    // A file gone from the tree goes from the server, and only that one.
    fs::remove(tree / "B.BIN");
    const ClientResult r = lftp("mirror -R --delete --verbose tree /");
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(compare_trees(tree, desk()), "") << r.describe();
}

TEST_F(DesktopClients, RcloneSyncsBothWaysWithoutErrors) {
    const fs::path tree = client_folder() / "tree";
    const fs::path back = client_folder() / "back";
    make_mixed_tree(tree);
    for (int run = 1; run <= 2; ++run) {
        const ClientResult up = rclone({"sync", "-v", tree.string(), ":ftp:/"});
        ASSERT_EQ(up.exit_status, 0) << up.describe();
        EXPECT_EQ(rclone_errors(up), std::vector<std::string>{}) << up.describe();
        EXPECT_EQ(compare_trees(tree, desk()), "") << up.describe();
        // The second run finds every file in place and moves nothing.
        if (run == 2) {
            EXPECT_EQ(up.err.find("Copied"), std::string::npos) << up.describe();
        }
    }
    const ClientResult down = rclone({"sync", "-v", ":ftp:/", back.string()});
    ASSERT_EQ(down.exit_status, 0) << down.describe();
    EXPECT_EQ(down.err.find("ERROR"), std::string::npos) << down.describe();
    EXPECT_EQ(compare_trees(tree, back), "") << down.describe();
    const ClientResult check = rclone({"check", tree.string(), ":ftp:/"});
    EXPECT_EQ(check.exit_status, 0) << check.describe();
}

TEST_F(DesktopClients, TheRootIsReachedAsSlash) {
    fs::create_directories(desk() / "Sub");
    write_file(desk() / "Sub" / "x.txt", "x");
    write_file(desk() / "top.txt", "top");
    // curl: ftp://host:port/ and the absolute forms ("%2F": CWD /).
    for (const std::string& path : {std::string("/"), std::string("/%2F")}) {
        const ClientResult list = curl(kDesktopUser, {"--list-only", url(path)});
        ASSERT_EQ(list.exit_status, 0) << list.describe();
        EXPECT_EQ(lines_of(list.out), std::vector<std::string>{"top.txt"}) << path;
    }
    const ClientResult fetched = curl(kDesktopUser, {url("/%2FSub/x.txt")});
    ASSERT_EQ(fetched.exit_status, 0) << fetched.describe();
    EXPECT_EQ(fetched.out, "x");
    // lftp: from "/" down and back; mkdir -p and rm -r walk from "/".
    const ClientResult walk = lftp("cd /Sub; pwd; cd /; mkdir -p /a/b/c; rm -r /a; cls -1");
    ASSERT_EQ(walk.exit_status, 0) << walk.describe();
    EXPECT_NE(walk.out.find(":" + std::to_string(port()) + "/Sub\n"), std::string::npos)
        << walk.out;
    EXPECT_FALSE(fs::exists(desk() / "a"));
    EXPECT_NE(walk.out.find("Sub/\ntop.txt\n"), std::string::npos) << walk.out;
}

TEST_F(DesktopClients, CurlAndLftpKeepTheFileTimeOnAServerOutsideUtc) {
    // The server in Berlin: 2020-01-15 10:20:30 UTC is 11:20:30 there.
    server_.reset();
    ::setenv("TZ", "Europe/Berlin", 1);
    ::tzset();
    server_ = std::make_unique<kesto::test::ServerUnderTest>(folder_, "EXTREME");
    ASSERT_TRUE(server_->ready());
    const std::time_t when = utc_time(2020, 1, 15, 10, 20, 30);
    write_file(desk() / "dated.nc", "dated");
    set_mtime(desk() / "dated.nc", when);
    write_file(jail() / "DATED.NC", "dated");
    set_mtime(jail() / "DATED.NC", when);

    const ClientResult r = curl(kDesktopUser, {"-R", "-o", "dated.nc", url("/dated.nc")});
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(fs::last_write_time(client_folder() / "dated.nc"),
              fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(when)));
    const ClientResult l = lftp("get /dated.nc -o lftp.nc");
    ASSERT_EQ(l.exit_status, 0) << l.describe();
    EXPECT_EQ(fs::last_write_time(client_folder() / "lftp.nc"),
              fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(when)));
    // The machine controls' account still answers in the server's local time.
    const ClientResult local = curl(kConfinedUser, {"-R", "-o", "local.nc", url("/DATED.NC")});
    ASSERT_EQ(local.exit_status, 0) << local.describe();
    EXPECT_EQ(
        fs::last_write_time(client_folder() / "local.nc"),
        fs::file_time_type::clock::from_sys(std::chrono::system_clock::from_time_t(when + 3600)));
}
