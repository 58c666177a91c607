// Command lines through the normalisation and the dispatcher of a confined, logged-in
// session, for a machine control's account or one for desktop clients. Replies go to an in-memory
// connection; files live in a private folder, and nothing outside it may change. Commands that wait
// for a data connection (and QUIT and REIN) are left out.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "server/protocol/command_table.h"
#include "server/protocol/limits.h"
#include "server/protocol/session.h"
#include "tests/fuzz/private_folder.h"
#include "tests/support/memory_connection.h"

namespace fs = std::filesystem;
using namespace kesto::server;

namespace {

struct World {
    fs::path base;
    fs::path root;
    ServerConfig config;
    LogPoster log{LogLevel::none, [](LogLevel, const std::string&) {}};
    ClientSlots slots;
    ServerContext context{config, log, "/nonexistent/KestoFTP.ini", slots};
    int runs = 0;
};

void reset_root(World& w) {
    fs::remove_all(w.root);
    fs::create_directories(w.root / "SUB");
    std::ofstream(w.root / "A.NC") << "a";
    fs::create_symlink(w.base / "outside", w.root / "OUT");
}

World& world() {
    static World* w = [] {
        auto* made = new World;
        made->base = make_private_folder("kesto-dispatch-fuzz");
        made->root = made->base / "ftp";
        fs::create_directories(made->base / "outside");
        std::ofstream(made->base / "outside" / "KEEP") << "keep";
        reset_root(*made);
        made->config.data_timeout_seconds = 1;
        made->slots[0].peer.address = {{127, 0, 0, 1}};
        return made;
    }();
    return *w;
}

bool waits_or_ends(const std::string& line) {
    for (const char* word :
         {"QUIT", "REIN", "RETR", "STOR", "STOU", "APPE", "LIST", "NLST", "MLSD"}) {
        if (line.starts_with(word)) return true;
    }
    return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    World& w = world();
    if (++w.runs % 64 == 0) reset_root(w);  // keeps the folder, and each STAT of it, small
    std::snprintf(w.slots[0].address_text, sizeof w.slots[0].address_text, "127.0.0.1");
    // Replies go to memory; one that does not fit fails, as on a full socket.
    kesto::test::MemoryConnection control;
    Session s(w.context, w.slots[0], control);
    s.running = true;
    s.login.logged_in = true;
    s.login.account.confined = true;
    s.login.account.path = w.root.string();
    s.login.root_real = w.root.string();
    s.login.root_folder = kesto::platform::open_root_folder(w.root.string());
    s.login.current_directory = w.root.string();
    FuzzedDataProvider in(data, size);
    // Desktop clients: arguments as sent, exact names, the root seen as "/".
    s.login.account.desktop = in.ConsumeBool();
    for (int i = 0; i < 16 && in.remaining_bytes() > 0; ++i) {
        const std::string raw = in.ConsumeRandomLengthString(kCommandLineKept);
        const std::string line = session_command_line(s, raw);
        if (waits_or_ends(line)) continue;
        dispatch(s, line);
        control.clear_sent();
    }
    // The confined session changed nothing outside its folder.
    std::error_code ignored;
    if (std::distance(fs::directory_iterator(w.base / "outside", ignored),
                      fs::directory_iterator()) != 1) {
        __builtin_trap();
    }
    return 0;
}
