#pragma once
// A private folder for a fuzz target's files, under TMPDIR (a tmpfs there makes the
// long runs faster), removed when the fuzzer exits.
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

inline std::filesystem::path make_private_folder(const char* prefix) {
    namespace fs = std::filesystem;
    static fs::path made;
    std::string tmpl = (fs::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
    if (::mkdtemp(tmpl.data()) == nullptr) std::abort();
    made = fs::canonical(tmpl);
    std::atexit([] {
        std::error_code ignored;
        fs::remove_all(made, ignored);
    });
    return made;
}
