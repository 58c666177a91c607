// The path resolver: a confined resolution never leaves the root, whatever the client
// sends, with links pointing in, out, nowhere and back through '..': the folder
// descriptor it hands out lies within the root, and so does the path it reports.
#include <fuzzer/FuzzedDataProvider.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"
#include "tests/fuzz/private_folder.h"

namespace fs = std::filesystem;
using namespace kesto::platform;

namespace {

struct Tree {
    std::string root;
    std::string sub;
    int root_fd;
};

Tree make_tree() {
    const fs::path base = make_private_folder("kesto-path-fuzz");
    const fs::path root = base / "ftp";
    fs::create_directories(root / "Sub" / "Deeper");
    fs::create_directories(base / "ftp2");
    std::ofstream(root / "File.nc") << "x";
    std::ofstream(base / "secret") << "s";
    fs::create_symlink(base / "ftp2", root / "LinkOut");
    fs::create_symlink(base / "secret", root / "Sub" / "FileOut");
    fs::create_symlink(root / "Sub", root / "LinkIn");
    fs::create_symlink(base / "nowhere", root / "Dangling");
    fs::create_symlink("../..", root / "Sub" / "UpTwo");
    fs::create_symlink("../Sub/Deeper", root / "Sub" / "Across");
    fs::create_symlink("Across/../../File.nc", root / "Sub" / "Winding");
    return {root.string(), (root / "Sub").string(), open_root_folder(root.string()).release()};
}

const Tree& tree() {
    static const Tree t = make_tree();
    return t;
}

bool well_formed(const std::string& path) {
    if (path.empty() || path.front() != '/') return false;
    if (path.size() > 1 && path.back() == '/') return false;
    return path.find("//") == std::string::npos && path.find("/./") == std::string::npos &&
           path.find("/../") == std::string::npos && !path.ends_with("/..") &&
           !path.ends_with("/.");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const Tree& t = tree();
    const std::string cwd = in.ConsumeBool() ? t.root : t.sub;
    const bool follow_final = in.ConsumeBool();
    const bool desktop = in.ConsumeBool();  // exact names, the root seen as "/"
    const std::string client = in.ConsumeRemainingBytesAsString();
    if (client.find('\0') != std::string::npos) return 0;  // no C path holds one

    if (!well_formed(combine_client_path(cwd, client))) __builtin_trap();
    const Follow follow = follow_final ? Follow::final_link : Follow::not_final_link;
    Entry entry;
    const PathScope scope{.cwd = cwd,
                          .confined = true,
                          .root = t.root,
                          .root_folder = t.root_fd,
                          .exact_case = desktop,
                          .root_is_slash = desktop};
    if (resolve_client_path(scope, client, follow, entry) != PathResult::ok) return 0;
    const std::string folder =
        canonical_path("/proc/self/fd/" + std::to_string(entry.folder.get()));
    if (folder.empty() || !is_within(t.root, folder) || !is_within(t.root, entry.path))
        __builtin_trap();
    return 0;
}
