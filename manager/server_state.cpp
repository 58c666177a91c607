#include "manager/server_state.h"

#include "platform/control_endpoint.h"

namespace kesto::manager {

bool server_running(const std::string& program_folder) {
    return platform::probe_server(program_folder) == platform::Presence::server;
}

}  // namespace kesto::manager
