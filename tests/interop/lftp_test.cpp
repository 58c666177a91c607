// lftp against kftpd: its listing parsers on our UNIX and WINNT4 listings and on MLSD
// (which it takes once FEAT offers MLST), mirrors of a 200-file tree in both directions
// over LIST and over MLSD, pipelined commands, and the refusals of confined and read-only
// accounts, in passive and active mode.
#include <regex>

#include "interop_support.h"

using namespace kesto::interop;
using kesto::test::read_file;
using kesto::test::write_file;

namespace {

struct LftpCase {
    const char* name;
    const char* user;
    bool passive;
    bool mlsd = false;  // lftp lists with MLSD (its default) rather than LIST
};

std::ostream& operator<<(std::ostream& out, const LftpCase& c) {
    return out << c.name;
}

// The form of lftp's --time-style=+%Y-%m-%dT%H:%M.
std::string minute_of(std::time_t when) {
    std::tm t{};
    ::localtime_r(&when, &t);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M", &t);
    return text;
}

class Lftp : public InteropTest, public ::testing::WithParamInterface<LftpCase> {
  protected:
    ClientResult lftp(const std::string& user, const std::string& commands,
                      std::chrono::seconds limit = 30s) {
        const std::string script =
            std::string(
                "set net:max-retries 1; set net:timeout 10; set cmd:fail-exit yes; "
                "set xfer:clobber on; set ftp:passive-mode ") +
            (GetParam().passive ? "on" : "off") + "; set ftp:use-mlsd " +
            (GetParam().mlsd ? "on" : "off") + "; open -u " + login_name(user) + "," +
            kPassword + " " + url("/") + "; " + commands;
        return run_client({"lftp", "-c", script}, client_folder(), limit);
    }
    ClientResult lftp(const std::string& commands, std::chrono::seconds limit = 30s) {
        return lftp(GetParam().user, commands, limit);
    }
    fs::path local(const std::string& name) const { return client_folder() / name; }

    void expect_mode_was_used() const { expect_data_connections(GetParam().passive); }
    // Every listing lftp read went the way the case chose.
    void expect_listing_command() const {
        const std::string log = read_file(folder_.log());
        const bool mlsd = log.find("C->S: MLSD") != std::string::npos;
        const bool list = log.find("C->S: LIST") != std::string::npos;
        EXPECT_EQ(mlsd, GetParam().mlsd) << "MLSD used";
        EXPECT_EQ(list, !GetParam().mlsd) << "LIST used";
    }
};

class LftpMirror : public Lftp {};
class LftpAccess : public Lftp {};
class LftpMlsd : public Lftp {};

bool is_unix(const LftpCase& c) {
    return std::string(c.user) == kUnixUser;
}

}  // namespace

TEST_P(Lftp, ParsesNamesSizesAndDatesOfTheListing) {
    // Minute-exact times a few weeks back, so that a listing without a year is still
    // unambiguous, and one old time that only the WINNT4 form can carry.
    const std::time_t today = std::time(nullptr) / 86400 * 86400;
    struct Entry {
        std::string name;
        long long size;  // -1: folder
        std::time_t mtime;
    };
    std::vector<Entry> entries = {
        {"PART1.NC", 1234, today - 20 * 86400 + 14 * 3600 + 7 * 60 + 9},
        {"SETUP.BAT", 987, today - 40 * 86400 + 5 * 60},
        {"PROGRAMS", -1, today - 10 * 86400 + 9 * 3600 + 15 * 60},
        {"PART 7.NC", 0, today - 5 * 86400 + 12 * 3600 + 30 * 60},
        {"NOON.NC", 70001, today - 3 * 86400 + 23 * 3600 + 59 * 60},
        {"JAIL", -1, today - 2 * 86400 + 13 * 3600},
        {"OLD.NC", 300, utc_time(2008, 3, 5, 14, 7, 9)},
    };
    for (const Entry& e : entries) {
        if (e.size >= 0) {
            write_file(files() / e.name, pattern_bytes(static_cast<std::size_t>(e.size), 1));
        } else {
            fs::create_directories(files() / e.name);
        }
        set_mtime(files() / e.name, e.mtime);
    }
    make_read_only(files() / "SETUP.BAT");

    // `ls` shows the listing as the server sent it.
    const ClientResult ls = lftp("ls");
    ASSERT_EQ(ls.exit_status, 0) << ls.describe();
    std::map<std::string, long long> expected_entries = {{".", -1}, {"..", -1}};
    for (const Entry& e : entries) expected_entries[e.name] = e.size;
    EXPECT_EQ(listing_entries(ls.out), expected_entries) << ls.out;

    // `cls` shows what lftp's parser made of it (no MDTM: the dates come from the listing).
    const ClientResult cls = lftp(
        "set ftp:use-mdtm off; cls --sort=name --size --block-size=1 --date "
        "--time-style=+%Y-%m-%dT%H:%M");
    ASSERT_EQ(cls.exit_status, 0) << cls.describe();
    static const std::regex line_form(R"(^ *(\d*) (\d{4}-\d\d-\d\dT\d\d:\d\d) (.+)$)");
    std::map<std::string, std::pair<std::string, std::string>> parsed;  // name -> size, date
    for (const std::string& line : lines_of(cls.out)) {
        std::smatch m;
        ASSERT_TRUE(std::regex_match(line, m, line_form)) << line;
        parsed[m[3]] = {m[1], m[2]};
    }
    ASSERT_EQ(parsed.size(), entries.size()) << cls.out;
    for (const Entry& e : entries) {
        const std::string shown = e.size < 0 ? e.name + "/" : e.name;
        ASSERT_TRUE(parsed.contains(shown)) << shown << " missing in\n" << cls.out;
        const auto& [size, date] = parsed[shown];
        if (e.size >= 0) {
            EXPECT_EQ(size, std::to_string(e.size)) << e.name;
        }
        const std::string want = minute_of(e.mtime);
        if (e.name == "OLD.NC" && is_unix(GetParam())) {
            // A UNIX listing shows no year; lftp guesses one.
            EXPECT_EQ(date.substr(4), want.substr(4)) << e.name;
        } else {
            EXPECT_EQ(date, want) << e.name;
        }
    }
    expect_mode_was_used();
}

TEST_P(Lftp, PipelinedCommandsAllTakeEffect) {
    write_file(files() / "PART1.NC", pattern_bytes(5000, 2));
    write_file(files() / "OLD.NC", "old");
    fs::create_directories(files() / "PROGRAMS");
    write_file(files() / "PROGRAMS" / "P1.NC", pattern_bytes(700, 3));
    write_file(files() / "PROGRAMS" / "P2.NC", pattern_bytes(0, 3));
    write_file(files() / "PROGRAMS" / "README.TXT", "not fetched");
    write_file(local("up.bin"), pattern_bytes(100000, 4));
    const fs::path trace = local("trace.txt");

    const ClientResult r =
        lftp("debug -o " + trace.string() +
             " 9; set ftp:sync-mode off; cls -1; get PART1.NC -o got.nc; put up.bin -o UP.BIN; "
             "mkdir NEWDIR; put up.bin -o NEWDIR/IN.BIN; mv UP.BIN NEWDIR/MOVED.BIN; rm OLD.NC; "
             "mget PROGRAMS/*.NC; cls -1 NEWDIR/");
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    EXPECT_EQ(read_file(local("got.nc")), pattern_bytes(5000, 2));
    EXPECT_EQ(read_file(files() / "NEWDIR" / "IN.BIN"), pattern_bytes(100000, 4));
    EXPECT_EQ(read_file(files() / "NEWDIR" / "MOVED.BIN"), pattern_bytes(100000, 4));
    EXPECT_FALSE(fs::exists(files() / "UP.BIN"));
    EXPECT_FALSE(fs::exists(files() / "OLD.NC"));
    EXPECT_EQ(read_file(local("P1.NC")), pattern_bytes(700, 3));
    ASSERT_TRUE(fs::exists(local("P2.NC")));
    EXPECT_EQ(fs::file_size(local("P2.NC")), 0u);
    EXPECT_FALSE(fs::exists(local("README.TXT")));
    const auto lines = lines_of(r.out);
    EXPECT_NE(std::find(lines.begin(), lines.end(), "OLD.NC"), lines.end()) << r.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "NEWDIR/IN.BIN"), lines.end()) << r.out;
    EXPECT_NE(std::find(lines.begin(), lines.end(), "NEWDIR/MOVED.BIN"), lines.end()) << r.out;

    // lftp did send commands ahead of the replies.
    const auto sent = lines_of(read_file(trace));
    bool ahead = false;
    for (std::size_t i = 1; i < sent.size(); ++i) {
        ahead = ahead || (sent[i - 1].rfind("---> ", 0) == 0 && sent[i].rfind("---> ", 0) == 0);
    }
    EXPECT_TRUE(ahead) << read_file(trace);
    expect_mode_was_used();
}

TEST_P(LftpMirror, MirrorsATreeBothWaysByteForByte) {
    make_tree(local("TREE"), 200, 11);
    make_tree(files() / "SERVED", 200, 12);

    const ClientResult up = lftp("mirror -R --parallel=4 TREE UPLOADED", 60s);
    ASSERT_EQ(up.exit_status, 0) << up.describe();
    EXPECT_EQ(compare_trees(local("TREE"), files() / "UPLOADED"), "");

    const ClientResult down = lftp("mirror --parallel=4 SERVED BACK", 60s);
    ASSERT_EQ(down.exit_status, 0) << down.describe();
    EXPECT_EQ(compare_trees(files() / "SERVED", local("BACK")), "");
    expect_mode_was_used();
    expect_listing_command();
}

TEST_P(LftpMlsd, ReadsFeatAndTakesNamesSizesTimesAndModesFromMlsd) {
    write_file(files() / "PART1.NC", pattern_bytes(1234, 1));
    write_file(files() / "SETUP.BAT", pattern_bytes(987, 2));
    fs::create_directories(files() / "PROGRAMS");
    fs::permissions(files() / "PART1.NC", fs::perms(0640));
    fs::permissions(files() / "SETUP.BAT", fs::perms(0444));
    fs::permissions(files() / "PROGRAMS", fs::perms(0750));
    // Times to the second, and an old year that a UNIX listing would not show.
    set_mtime(files() / "PART1.NC", utc_time(2008, 3, 5, 14, 7, 9));
    set_mtime(files() / "SETUP.BAT", utc_time(2026, 1, 2, 3, 4, 5));
    set_mtime(files() / "PROGRAMS", utc_time(1999, 12, 31, 23, 59, 59));
    const fs::path trace = local("trace.txt");

    // `open` has connected already: the trace starts with a new connection and its FEAT.
    const ClientResult r = lftp("debug -o " + trace.string() +
                                " 9; close; cls --sort=name --size --block-size=1 --date "
                                "--time-style=+%Y-%m-%dT%H:%M:%S; cls -l --sort=name");
    ASSERT_EQ(r.exit_status, 0) << r.describe();
    static const std::regex dated(R"(^ *(\d*) (\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d) (.+)$)");
    static const std::regex moded(R"(^([-dr][-rwx]{9}) .* (\S+)$)");
    std::map<std::string, std::string> listed;
    for (const std::string& line : lines_of(r.out)) {
        std::smatch m;
        if (std::regex_match(line, m, dated)) {
            listed[m[3]] += m[1].str() + " " + m[2].str();
        } else if (std::regex_match(line, m, moded)) {
            listed[m[2]] += " " + m[1].str();
        } else {
            ADD_FAILURE() << "unparsed: " << line;
        }
    }
    listed.erase("JAIL/");  // the confined account's folder
    const std::map<std::string, std::string> expected = {
        {"PART1.NC", "1234 2008-03-05T14:07:09 -rw-r-----"},
        {"PROGRAMS/", " 1999-12-31T23:59:59 drwxr-x---"},
        {"SETUP.BAT", "987 2026-01-02T03:04:05 -r--r--r--"},
    };
    EXPECT_EQ(listed, expected) << r.out;

    const std::string sent = read_file(trace);
    EXPECT_NE(sent.find("<---  MLST type*;size*;modify*;perm*;unix.mode*;"), std::string::npos);
    EXPECT_NE(sent.find("---> MLSD"), std::string::npos) << sent;
    expect_listing_command();
    expect_mode_was_used();
}

TEST_P(LftpAccess, ConfinedAccountIsRefusedOutsideItsFolder) {
    write_file(files() / "SECRET.NC", "secret");
    write_file(jail() / "INSIDE.NC", pattern_bytes(900, 5));
    write_file(local("plant.nc"), "planted");
    const std::string outside = files().string() + "/SECRET.NC";
    const std::vector<std::string> refused = {std::string("cd .."),
                                              std::string("cd ") + files().string(),
                                              "get ../SECRET.NC -o a",
                                              "get " + outside + " -o b",
                                              std::string("put plant.nc -o ../PLANT.NC"),
                                              std::string("rm ../SECRET.NC"),
                                              std::string("mv INSIDE.NC ../MOVED.NC"),
                                              std::string("mkdir ../NEWDIR"),
                                              std::string("cls ../")};
    for (const std::string& command : refused) {
        const ClientResult r = lftp(kConfinedUser, command);
        EXPECT_NE(r.exit_status, 0) << r.describe();
        EXPECT_NE(r.err.find("521"), std::string::npos) << r.describe();
    }
    EXPECT_EQ(read_file(files() / "SECRET.NC"), "secret");
    EXPECT_FALSE(fs::exists(files() / "PLANT.NC"));
    EXPECT_FALSE(fs::exists(files() / "MOVED.NC"));
    EXPECT_FALSE(fs::exists(files() / "NEWDIR"));
    EXPECT_FALSE(fs::exists(local("a")) && !read_file(local("a")).empty());
    EXPECT_FALSE(fs::exists(local("b")) && !read_file(local("b")).empty());

    const ClientResult inside =
        lftp(kConfinedUser, "get INSIDE.NC -o inside.nc; put plant.nc -o PLANT.NC; cls -1");
    ASSERT_EQ(inside.exit_status, 0) << inside.describe();
    EXPECT_EQ(read_file(local("inside.nc")), pattern_bytes(900, 5));
    EXPECT_EQ(read_file(jail() / "PLANT.NC"), "planted");
    EXPECT_EQ(inside.out, "INSIDE.NC\nPLANT.NC\n");
    expect_mode_was_used();
}

TEST_P(LftpAccess, ReadOnlyAccountCanOnlyRead) {
    write_file(files() / "A.NC", pattern_bytes(1500, 6));
    fs::create_directories(files() / "PROGRAMS");
    write_file(local("up.nc"), "new");
    make_tree(local("TREE"), 5, 13);
    for (const char* command :
         {"put up.nc -o UP.NC", "put up.nc -o A.NC", "rm A.NC", "mkdir NEWDIR", "mv A.NC B.NC",
          "rmdir PROGRAMS", "mirror -R TREE PROGRAMS"}) {
        const ClientResult r = lftp(kReadOnlyUser, command);
        EXPECT_NE(r.exit_status, 0) << r.describe();
        EXPECT_NE(r.err.find("530"), std::string::npos) << r.describe();
    }
    EXPECT_EQ(read_file(files() / "A.NC"), pattern_bytes(1500, 6));
    EXPECT_FALSE(fs::exists(files() / "UP.NC"));
    EXPECT_FALSE(fs::exists(files() / "B.NC"));
    EXPECT_FALSE(fs::exists(files() / "NEWDIR"));
    EXPECT_TRUE(fs::is_empty(files() / "PROGRAMS"));

    const ClientResult get = lftp(kReadOnlyUser, "get A.NC -o a.nc");
    ASSERT_EQ(get.exit_status, 0) << get.describe();
    EXPECT_EQ(read_file(local("a.nc")), pattern_bytes(1500, 6));
    expect_mode_was_used();
}

INSTANTIATE_TEST_SUITE_P(Interop, Lftp,
                         ::testing::Values(LftpCase{"UnixPassive", kUnixUser, true},
                                           LftpCase{"UnixActive", kUnixUser, false},
                                           LftpCase{"WinNtPassive", kWinUser, true},
                                           LftpCase{"WinNtActive", kWinUser, false}),
                         [](const auto& p) { return std::string(p.param.name); });
INSTANTIATE_TEST_SUITE_P(Interop, LftpMirror,
                         ::testing::Values(LftpCase{"UnixPassive", kUnixUser, true},
                                           LftpCase{"WinNtActive", kWinUser, false},
                                           LftpCase{"MlsdPassive", kUnixUser, true, true},
                                           LftpCase{"MlsdActive", kWinUser, false, true}),
                         [](const auto& p) { return std::string(p.param.name); });
INSTANTIATE_TEST_SUITE_P(Interop, LftpAccess,
                         ::testing::Values(LftpCase{"Passive", kUnixUser, true, true},
                                           LftpCase{"Active", kUnixUser, false, true}),
                         [](const auto& p) { return std::string(p.param.name); });
INSTANTIATE_TEST_SUITE_P(Interop, LftpMlsd,
                         ::testing::Values(LftpCase{"Passive", kUnixUser, true, true},
                                           LftpCase{"Active", kWinUser, false, true}),
                         [](const auto& p) { return std::string(p.param.name); });
