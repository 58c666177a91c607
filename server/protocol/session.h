#pragma once
// One FTP session: its state, owned by its thread and never shared, and the body of
// the thread the listener starts for a connection.

#include <cstdint>
#include <string>
#include <string_view>

#include "platform/connection.h"
#include "platform/files.h"
#include "platform/unique_fd.h"
#include "server/formats/listing_format.h"
#include "server/formats/machine_facts.h"
#include "server/protocol/replies.h"
#include "server/protocol/server_context.h"
#include "server/protocol/transfer_engine.h"
#include "settings/records.h"

namespace kesto::server {

// Who the client is and where it stands; USER and REIN start it again.
struct SessionLogin {
    bool logged_in = false;
    bool user_given = false;
    std::string user_name;
    std::string password;
    settings::Account account;       // taken once the password matched
    std::string root_real;           // the canonical PATH at login: the confinement root
    platform::UniqueFd root_folder;  // held from login: paths resolve from it, never by name
    std::string current_directory = "/";
    bool rename_pending = false;
    platform::Entry rename_source;  // what RNFR resolved, used as it is by RNTO
};

// TYPE, its format, STRU, MODE and REST, and the facts OPTS MLST selected.
struct TransferSettings {
    RepresentationType type = RepresentationType::ASCII;
    int format_control = 1;
    int structure = 1;
    int transfer_mode = 1;
    std::int64_t restart_offset = 0;
    formats::FactSet listing_facts = formats::FactSet::all();  // of MLSD and MLST
};

// How the next data connection is made: PORT's port or a pending passive socket.
struct DataChannel {
    std::uint16_t data_port = 21;
    bool passive_pending = false;
    platform::UniqueFd passive_socket;
    std::uint16_t passive_port = 0;
    bool extended_only = false;  // after EPSV ALL: PORT, PASV and EPRT are refused
};

struct Session {
    Session(ServerContext& ctx, ClientSlot& slot, platform::Connection& connection);

    // Sends one reply line; a failure marks the session for closing. True when sent.
    bool reply(int code, std::string_view text, bool continued = false);
    bool reply(const Reply& fixed, bool continued = false) {
        return reply(fixed.code, fixed.text, continued);
    }
    // Sends free text inside a multi-line reply; a failure marks the session for closing.
    bool text(std::string_view text);
    void log(LogLevel level, const std::string& text) const;  // "(<address>) <text>"

    // The scope in which this session's paths resolve (working directory, confinement).
    platform::PathScope path_scope() const;
    // Resolves a client path; outside a confined account's folder it answers
    // 521 "Access denied." and returns false.
    bool resolve_path(std::string_view client_path, platform::Follow follow,
                      platform::Entry& entry);
    // The path a client is shown for a resolved local path (an Entry's `path`, the
    // working directory): the real one, or for a confined account for desktop clients
    // the one below its root, which that client sees as "/". Every reply naming a path
    // takes it from here.
    [[nodiscard]] std::string client_path_of(const std::string& local_path) const;

    ServerContext& context;
    const platform::Endpoint peer;  // the client's address, for STAT and active connections
    platform::Connection& control;
    const std::string tag;  // the client's address text

    SessionLogin login;
    // Failed PASS commands on this connection; USER, REIN and a login leave it, so that
    // none of them buys a client a fresh set of guesses.
    int failed_logins = 0;
    TransferSettings transfer;
    DataChannel channel;
    bool close_requested = false;
    bool running = false;
};

// Serves the connection in `slot` until the client quits or the connection fails,
// then closes it and frees the slot.
void run_session(ServerContext& context, ClientSlot& slot);

}  // namespace kesto::server
