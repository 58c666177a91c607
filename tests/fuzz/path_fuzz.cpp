// The path resolver: a confined resolution never leaves the root, whatever the client
// sends, with links pointing in, out and nowhere.
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
    return {root.string(), (root / "Sub").string()};
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
    const std::string client = in.ConsumeRemainingBytesAsString();
    if (client.find('\0') != std::string::npos) return 0;  // no C path holds one

    if (!well_formed(combine_client_path(cwd, client))) __builtin_trap();
    std::string local;
    if (resolve_client_path(PathScope{cwd, true, t.root}, client, local) != PathResult::ok)
        return 0;
    std::string real = canonical_path(local);
    if (real.empty()) real = canonical_path(fs::path(local).parent_path().string());
    if (real.empty() || !is_within(t.root, real)) __builtin_trap();
    return 0;
}
