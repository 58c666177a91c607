#include "server/process/server_process.h"

#include "platform/errors.h"
#include "platform/process.h"

namespace kesto::server {

namespace {

constexpr const char* kCaption = "KESTO FTP Server";

// Who holds the program folder's control name when it is not our server, and what
// that means for a start or a stop.
constexpr const char* kForeignHolder =
    "Another user's process holds this program folder's control name; ";
constexpr const char* kNotAServer =
    "A process that is not a KESTO FTP server holds this program folder's control name; ";
constexpr const char* kCannotStart = "the server cannot start.";
constexpr const char* kNothingStopped = "nothing was stopped.";

}  // namespace

ServerProcess::ServerProcess(CommandLine command_line, std::string program_folder)
    : command_line_(std::move(command_line)), program_folder_(std::move(program_folder)) {}

void ServerProcess::run() {
    // Signals are taken before the server starts, so a stop during start-up is never lost
    // and every thread of the serving process exists once it answers.
    platform::start_stop_signal_thread([this] { main_queue_.send([this] { handle_stop(); }); });
    if (!platform::start_detached_thread([this] { startup_thread(); })) platform::exit_process(1);
    main_queue_.run();
    // The stop has closed the name; let its thread answer the requester first.
    endpoint_.close();
    endpoint_.join();
    platform::exit_process(exit_status_.load());
}

void ServerProcess::handle_stop() {
    // Free the port and the name before anyone is told the server has stopped.
    listener_stop_.stop();
    endpoint_.close();
    event_log_.close();
    main_queue_.quit();
}

void ServerProcess::handle_log(LogLevel level, const std::string& text) {
    if (event_log_.write_line(level, text) == 0) return;
    fail("Error writing to the log file, -service aborting.");
    handle_stop();
}

void ServerProcess::fail(const std::string& message) {
    platform::report_failure(kCaption, message);
    exit_status_.store(1);
}

void ServerProcess::startup_thread() {
    if (command_line_.stop) {
        stop_running_server();
    } else if (claim_endpoint()) {
        endpoint_.start([this] { main_queue_.send([this] { handle_stop(); }); });
        serve();
    }
    main_queue_.send([this] { handle_stop(); });
}

void ServerProcess::stop_running_server() {
    switch (platform::request_stop(program_folder_)) {
        case platform::StopOutcome::stopped:
            break;
        case platform::StopOutcome::not_running:
            fail("Can not shutdown server, since it isn't running.");
            break;
        case platform::StopOutcome::refused:
            fail("The running server refused the stop request.");
            break;
        case platform::StopOutcome::no_answer:
            fail("The running server did not answer the stop request.");
            break;
        case platform::StopOutcome::foreign_user:
            fail(kForeignHolder + std::string(kNothingStopped));
            break;
        case platform::StopOutcome::not_a_server:
            fail(kNotAServer + std::string(kNothingStopped));
            break;
    }
}

bool ServerProcess::claim_endpoint() {
    // A holder that has just ended frees the name: bind again, a few times.
    platform::Presence holder = platform::Presence::none;
    for (int attempt = 0; attempt < 3 && holder == platform::Presence::none; ++attempt) {
        const int error = endpoint_.bind(program_folder_);
        if (error == 0) return true;
        if (!platform::address_in_use(error)) {
            fail("Unable to create the control endpoint.");
            return false;
        }
        holder = platform::probe_server(program_folder_);
    }
    switch (holder) {
        case platform::Presence::server:
            fail("Server is already running!");
            break;
        case platform::Presence::foreign_user:
            fail(kForeignHolder + std::string(kCannotStart));
            break;
        case platform::Presence::not_a_server:
        case platform::Presence::none:
            fail(kNotAServer + std::string(kCannotStart));
            break;
    }
    return false;
}

void ServerProcess::serve() {
    if (load_server_config(command_line_.config_path, config_) != 0) {
        fail("Error reading the configuration file!");
        return;
    }
    poster_ = std::make_unique<LogPoster>(
        config_.log_level, [this](LogLevel level, const std::string& text) {
            main_queue_.send([this, level, &text] { handle_log(level, text); });
        });
    if (event_log_.open() != 0) {
        fail("Error opening the log file specified in the configuration file!");
        return;
    }
    // Sessions may outlive the listener until the process ends: the context must too.
    context_ = std::make_unique<ServerContext>(
        ServerContext{config_, *poster_, program_folder_ + "/cfg/KestoFTP.ini", slots_});
    if (run_listener(*context_, kMaxClients, listener_stop_) == ListenerEnd::stopped) return;
    event_log_.close();
    fail("Error starting the service. Consult the log file for details!");
}

}  // namespace kesto::server
