// RETR, STOR, STOU, APPE, LIST and NLST: the commands that use a data connection.
// The order of their tests is visible to clients: confinement (521), existence and
// permission (550/553), the 150 reply, the data connection (425); listings open their
// data connection before their 150.
#include <random>

#include "base/ascii.h"
#include "platform/file_transfer.h"
#include "platform/files.h"
#include "server/protocol/commands.h"
#include "server/protocol/data_connection.h"
#include "server/protocol/listing.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {
constexpr int kUniqueNameAttempts = 1000;

int idle_timeout_ms(const Session& s) {
    return s.context.config.idle_timeout_seconds * 1000;
}

// RETR and STOR trace the folder a confined account's path names.
bool resolve_transfer_path(Session& s, std::string_view argument, platform::Entry& entry) {
    if (s.login.account.confined && argument.find_first_of("/\\") != std::string_view::npos &&
        s.context.log.wants(LogLevel::extreme)) {
        // As the client sees it: a root of "/" for an account of desktop clients.
        const std::string path =
            platform::combine_client_path(s.client_path_of(s.login.current_directory), argument);
        s.context.log.post(LogLevel::extreme,
                           "Check perm for dir: <" + path.substr(0, path.rfind('/')) + ">");
    }
    return s.resolve_path(argument, platform::Follow::final_link, entry);
}

void log_result(const Session& s, LogLevel level, std::string_view name, const char* outcome) {
    s.log(level, std::string(name) + " " + outcome + ".");
}

// The final reply of a transfer; true when it succeeded.
bool reply_transfer_result(Session& s, TransferResult result) {
    switch (result) {
        case TRANSFER_OK:
            return s.reply(kTransferComplete), true;
        case TRANSFER_FILE_ERROR:
            s.reply(kFileActionNotTaken);
            break;
        case TRANSFER_WRITE_ERROR:
            s.reply(kStorageNotTaken);
            break;
        default:
            s.reply(kTransferAborted);
            break;
    }
    return false;
}

// A file may be written when it does not exist, or is a regular file with write permission.
bool may_write(const platform::Entry& entry) {
    const platform::FileInfo info = platform::file_info(entry);
    return !info.exists || (info.is_regular && !info.read_only);
}

void end_transfer(Session& s, DataConnection& data) {
    close_data_connection(s, data);
    s.transfer.restart_offset = 0;
}

// False when the data connection could not be opened (425 has been answered).
bool receive_into(Session& s, const platform::Entry& target, std::string_view shown_name,
                  std::int64_t offset, ReceiveMode mode) {
    DataConnection data;
    if (!open_data_connection(s, data)) return false;
    s.log(LogLevel::informational,
          "Receiveing file from client (" + std::string(shown_name) + ").");
    const TransferResult result = receive_file(s.context.log, *data, target, s.transfer.type,
                                               offset, mode, idle_timeout_ms(s));
    if (reply_transfer_result(s, result)) {
        log_result(s, LogLevel::informational, shown_name, "received successfully");
    } else {
        log_result(s, LogLevel::fatal, shown_name, "reception failed");
    }
    end_transfer(s, data);
    return true;
}

std::string random_unique_name(std::mt19937& random) {
    char name[16];
    std::snprintf(name, sizeof name, "%07ld", static_cast<long>(random() % 32768));
    name[0] = 'F';
    return name;
}

// Creates the file exclusively, so two sessions never take the same name.
bool claim_unique_file(Session& s, std::string_view wanted, std::string& name,
                       platform::Entry& entry) {
    std::mt19937 random{std::random_device{}()};
    name = wanted.empty() ? random_unique_name(random) : std::string(wanted);
    for (int attempt = 0; attempt < kUniqueNameAttempts; ++attempt) {
        if (!s.resolve_path(name, platform::Follow::not_final_link, entry)) return false;
        if (platform::create_file_exclusive(entry) == 0) return true;
        name = random_unique_name(random);
    }
    s.reply(kNameNotTaken);
    return false;
}

// "-la", "-a -l": the options many clients send with LIST, dropped as peers do.
std::string_view without_options(std::string_view argument) {
    for (;;) {
        std::size_t i = 1;
        while (i < argument.size() && ascii::to_upper(argument[i]) >= 'A' &&
               ascii::to_upper(argument[i]) <= 'Z')
            ++i;
        const bool option = argument.size() > 1 && argument[0] == '-' && i > 1 &&
                            (i == argument.size() || argument[i] == ' ');
        if (!option) return argument;
        argument.remove_prefix(i);
        while (!argument.empty() && argument.front() == ' ') argument.remove_prefix(1);
    }
}

}  // namespace

void cmd_retr(Session& s, std::string_view argument) {
    platform::Entry entry;
    if (!resolve_transfer_path(s, argument, entry)) return;
    if (!platform::file_info(entry).is_regular) {
        s.reply(kNotTaken);
        return;
    }
    // Opened now, while it is the file that was checked; a file that cannot be opened
    // fails after the data connection, as a read error does.
    platform::UniqueFd file;
    (void)platform::open_for_reading(entry, file);
    if (!s.reply(kOpeningData)) return;
    DataConnection data;
    if (!open_data_connection(s, data)) return;
    s.log(LogLevel::informational, "Sending file to client (" + std::string(argument) + ").");
    const TransferResult result = send_file(s.context.log, *data, std::move(file), s.transfer.type,
                                            s.transfer.restart_offset, idle_timeout_ms(s));
    if (reply_transfer_result(s, result)) {
        log_result(s, LogLevel::informational, argument, "transmitted successfully");
    } else {
        log_result(s, LogLevel::fatal, argument, "transmission failed");
    }
    end_transfer(s, data);
}

void cmd_stor(Session& s, std::string_view argument) {
    platform::Entry entry;
    if (!resolve_transfer_path(s, argument, entry)) return;
    if (!may_write(entry)) {
        s.reply(kNameNotTaken);
        return;
    }
    if (!s.reply(kOpeningData)) return;
    (void)receive_into(s, entry, argument, s.transfer.restart_offset, ReceiveMode::store);
}

void cmd_stou(Session& s, std::string_view rest) {
    const std::string_view wanted = rest.size() > 1 && rest[0] == ' ' ? rest.substr(1) : "";
    std::string name;
    platform::Entry entry;
    if (!claim_unique_file(s, wanted, name, entry)) return;
    s.transfer.restart_offset = 0;
    // The name was claimed for this upload: give it back when no upload comes.
    if (!s.reply(150, "FILE: " + name) ||
        !receive_into(s, entry, name, 0, ReceiveMode::store_unique)) {
        (void)platform::remove_file(entry);
    }
}

void cmd_appe(Session& s, std::string_view argument) {
    platform::Entry entry;
    if (!s.resolve_path(argument, platform::Follow::final_link, entry)) return;
    if (!may_write(entry)) {
        s.reply(kNameNotTaken);
        return;
    }
    if (!s.reply(kOpeningData)) return;
    DataConnection data;
    if (!open_data_connection(s, data)) return;
    s.transfer.restart_offset = 0;
    const TransferResult result = receive_file(s.context.log, *data, entry, s.transfer.type, 0,
                                               ReceiveMode::append, idle_timeout_ms(s));
    reply_transfer_result(s, result);
    end_transfer(s, data);
}

namespace {

void list_command(Session& s, std::string_view rest, bool names) {
    if (!rest.empty() && rest[0] != ' ') {
        s.reply(kUnrecognized);
        return;
    }
    std::string_view argument = rest.empty() ? rest : rest.substr(1);
    formats::ListingKind kind = formats::ListingKind::LIST_LONG;
    if (names) {
        kind = formats::ListingKind::LIST_NAMES;
        if (argument.size() > 1 && argument[0] == '-') {
            // Desktop clients' arguments keep their case: "-l" is "-L".
            const char option = ascii::to_upper(argument[1]);
            if (option == 'C') kind = formats::ListingKind::LIST_NAMES_COLUMNS;
            if (option == 'L') kind = formats::ListingKind::LIST_NAMES_LONG;
            argument.remove_prefix(2);
            if (argument.starts_with(' ')) argument.remove_prefix(1);
        }
    }
    s.context.log.post(LogLevel::extreme, std::string(argument));
    if (!names) argument = without_options(argument);
    ListingTarget target;
    if (!prepare_listing(s, argument, target)) return;
    DataConnection data;
    if (!open_data_connection(s, data)) return;
    if (s.reply(kOpeningData)) {
        reply_listing_result(s, list_directory(s.context.log, *data, s.login.account.system_type,
                                               kind, target, s.transfer.type));
    }
    close_data_connection(s, data);
}

}  // namespace

void cmd_list(Session& s, std::string_view rest) {
    list_command(s, rest, false);
}

void cmd_nlst(Session& s, std::string_view rest) {
    list_command(s, rest, true);
}

}  // namespace kesto::server
