// MLSD and MLST: listings in the machine-readable form of RFC 3659.
#include "server/protocol/commands.h"
#include "server/protocol/replies.h"

namespace kesto::server {

void cmd_mlsd(Session& s, std::string_view) {
    s.reply(kNotImplemented);
}

void cmd_mlst(Session& s, std::string_view) {
    s.reply(kNotImplemented);
}

}  // namespace kesto::server
