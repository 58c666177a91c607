#include "manager/autostart.h"

#include <cstdlib>
#include <string>

#include "common/file_helpers.h"
#include "platform/file_attributes.h"
#include "platform/file_io.h"

namespace kesto::manager {

namespace {

constexpr std::string_view kDefaultConfigFolder = "/etc/xdg";
constexpr unsigned kEntryMode = 0644;  // every user's session reads it
constexpr std::size_t kLargestEntryBytes = 64 * 1024;
constexpr std::string_view kExecKey = "Exec=";

std::string entry_path() {
    return autostart_folder() + "/" + std::string(kAutostartFileName);
}

std::string in_program_folder(std::string_view program_folder, std::string_view file) {
    std::string path(program_folder);
    if (path.empty() || path.back() != '/') path += '/';
    return path + std::string(file);
}

bool needs_backslash_in_quotes(char c) {
    return c == '"' || c == '`' || c == '$' || c == '\\';
}

// The string escapes of a desktop entry value, undone: \s \n \t \r \\.
std::string unescaped_value(std::string_view value) {
    std::string text;
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            text += value[i];
            continue;
        }
        switch (value[++i]) {
            case 's':
                text += ' ';
                break;
            case 'n':
                text += '\n';
                break;
            case 't':
                text += '\t';
                break;
            case 'r':
                text += '\r';
                break;
            default:
                text += value[i];
                break;  // "\\" and unknown escapes keep the character
        }
    }
    return text;
}

// The value of the entry's Exec key; empty when it has none.
std::string exec_value_of(std::string_view entry) {
    std::size_t at = 0;
    while (at < entry.size()) {
        std::size_t end = entry.find('\n', at);
        if (end == std::string_view::npos) end = entry.size();
        const std::string_view line = entry.substr(at, end - at);
        if (line.starts_with(kExecKey)) return std::string(line.substr(kExecKey.size()));
        at = end + 1;
    }
    return {};
}

}  // namespace

std::string autostart_folder() {
    // NOLINTNEXTLINE(concurrency-mt-unsafe): the manager sets no variables
    const char* dirs = std::getenv("XDG_CONFIG_DIRS");
    std::string_view list = dirs != nullptr ? dirs : "";
    while (!list.empty()) {
        const std::size_t colon = list.find(':');
        const std::string_view folder = list.substr(0, colon);
        // Relative entries are invalid in the variable and are passed over.
        if (folder.starts_with('/')) return std::string(folder) + "/autostart";
        list = colon == std::string_view::npos ? std::string_view() : list.substr(colon + 1);
    }
    return std::string(kDefaultConfigFolder) + "/autostart";
}

bool autostart_writable() {
    const std::string folder = autostart_folder();
    if (common::make_folder(folder) != 0) return false;
    const std::string probe = entry_path() + ".probe";
    if (platform::write_file_atomically(probe, "", kEntryMode) != 0) return false;
    (void)platform::unlink_file(probe);
    return true;
}

bool autostart_enabled(std::string_view program_folder) {
    std::string entry;
    if (platform::read_whole_file(entry_path(), entry, kLargestEntryBytes) !=
        platform::ReadResult::ok) {
        return false;
    }
    const std::vector<std::string> arguments = exec_arguments(exec_value_of(entry));
    return !arguments.empty() && arguments.front() == in_program_folder(program_folder, "kftpd");
}

bool set_autostart(std::string_view program_folder, bool on) {
    const std::string path = entry_path();
    if (on) {
        return platform::write_file_atomically(path, autostart_entry(program_folder), kEntryMode) ==
               0;
    }
    return !common::is_file(path) || platform::unlink_file(path) == 0;
}

std::string autostart_entry(std::string_view program_folder) {
    const std::string command =
        quoted_exec_argument(in_program_folder(program_folder, "kftpd")) + " " +
        quoted_exec_argument(in_program_folder(program_folder, "cfg/KestoFTP.ini"));
    return "[Desktop Entry]\nType=Application\nName=KESTO FTP Service\nExec=" +
           escaped_exec_value(command) + "\nTerminal=false\nX-GNOME-Autostart-enabled=true\n";
}

std::string quoted_exec_argument(std::string_view argument) {
    std::string quoted = "\"";
    for (const char c : argument) {
        if (needs_backslash_in_quotes(c)) quoted += '\\';
        if (c == '%') quoted += '%';
        quoted += c;
    }
    return quoted + "\"";
}

std::string escaped_exec_value(std::string_view command_line) {
    std::string value;
    for (const char c : command_line) {
        if (c == '\\')
            value += "\\\\";
        else if (c == '\n')
            value += "\\n";
        else if (c == '\t')
            value += "\\t";
        else if (c == '\r')
            value += "\\r";
        else
            value += c;
    }
    return value;
}

std::vector<std::string> exec_arguments(std::string_view stored_value) {
    const std::string command = unescaped_value(stored_value);
    std::vector<std::string> arguments;
    std::string current;
    bool in_argument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < command.size(); ++i) {
        const char c = command[i];
        const char next = i + 1 < command.size() ? command[i + 1] : '\0';
        if (!quoted && c == ' ') {
            if (in_argument) arguments.push_back(std::move(current));
            current.clear();
            in_argument = false;
            continue;
        }
        in_argument = true;
        if (c == '"') {
            quoted = !quoted;
            continue;
        }
        // An escaped character inside quotes, or "%%" anywhere: the second character.
        const bool escaped = quoted && c == '\\' && needs_backslash_in_quotes(next);
        if (escaped || (c == '%' && next == '%')) {
            current += command[++i];
        } else {
            current += c;
        }
    }
    if (in_argument) arguments.push_back(std::move(current));
    return arguments;
}

}  // namespace kesto::manager
