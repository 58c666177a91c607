#pragma once
// The manager's start-up of this library, once, before any window: the program folder
// and arguments, the profile store on "cfg/<product>.ini", the language and its
// message catalogue. What it finds lives for the whole run in library_context().

#include <span>
#include <string>
#include <string_view>

#include "common/profile_store.h"

namespace kesto::common {

enum InitResult : int {
    kInitNoCommandLine = 0,  // the process has no command line
    kInitNoCatalogue = 1,    // no usable catalogue, not even the English one
    kInitReady = 3,
};

struct LibraryContext {
    std::string program_folder;
    std::string arguments;          // the command line after the program's own path
    std::string language;           // the catalogue code in effect
    bool language_changed = false;  // differs from the language of the previous run
    std::string config_file;
    ProfileStore store;
};

[[nodiscard]] LibraryContext& library_context();

// `args` is the program's argv. The language is "/lang=xx" from the arguments (letter
// case ignored), else GLOBAL/LANGUAGE of the configuration, else the user's locale; a
// language without a catalogue falls back to "us". `program_folder` replaces the
// running program's folder (tests).
[[nodiscard]] InitResult init_library(std::string_view product, std::span<const char* const> args,
                                      std::string_view program_folder = {});

}  // namespace kesto::common
