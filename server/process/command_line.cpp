#include "server/process/command_line.h"

#include <string_view>

namespace kesto::server {

CommandLine parse_command_line(int argc, const char* const* argv,
                               const std::string& program_folder) {
    CommandLine result;
    bool have_path = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "-s" || arg == "-S") result.stop = true;
        if (arg == "--help") result.help = true;
        if (arg == "--version") result.version = true;
        if (!have_path && !arg.empty() && arg.front() != '-') {
            result.config_path = std::string(arg);
            have_path = true;
        }
    }
    if (!have_path) result.config_path = program_folder + "/KestoFTP.ini";
    return result;
}

}  // namespace kesto::server
