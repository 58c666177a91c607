// kftpd: wiring only.
#include <cstdio>

#include "platform/process.h"
#include "server/process/command_line.h"
#include "server/process/server_process.h"

namespace {

constexpr const char* kUsage =
    "Usage: kftpd [CONFIG_PATH] [-s]\n"
    "\n"
    "  CONFIG_PATH  the configuration file (default: KestoFTP.ini beside the program)\n"
    "  -s           stop the server running from this program folder\n"
    "  --help       show this text\n"
    "  --version    show the version\n";

}  // namespace

int main(int argc, char** argv) {
    kesto::platform::prepare_process_signals();
    const std::string folder = kesto::platform::program_folder();
    auto command_line = kesto::server::parse_command_line(argc, argv, folder);
    if (command_line.help) {
        std::fputs(kUsage, stdout);
        return 0;
    }
    if (command_line.version) {
        std::puts("kftpd (KESTO FTP Server) 2.02");
        return 0;
    }
    // Lives until the process ends with _exit: session threads may still use it.
    auto* process = new kesto::server::ServerProcess(std::move(command_line), folder);
    process->run();
}
