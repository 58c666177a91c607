// FEAT and OPTS: what this server offers beyond the base command set.
#include "server/protocol/commands.h"
#include "server/protocol/replies.h"

namespace kesto::server {

void cmd_feat(Session& s, std::string_view) {
    s.reply(kNotImplemented);
}

void cmd_opts(Session& s, std::string_view) {
    s.reply(kNotImplemented);
}

}  // namespace kesto::server
