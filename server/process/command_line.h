#pragma once
// The server's command line: an optional configuration path and the stop switch.

#include <string>

namespace kesto::server {

struct CommandLine {
    std::string config_path;  // the first argument not beginning with '-', else the default
    bool stop = false;        // "-s" in any letter case
    bool help = false;        // "--help"
    bool version = false;     // "--version"
};

// Other arguments beginning with '-' are ignored.
[[nodiscard]] CommandLine parse_command_line(int argc, const char* const* argv,
                                             const std::string& program_folder);

}  // namespace kesto::server
