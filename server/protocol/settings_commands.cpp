// TYPE, STRU, MODE and REST: the session's transfer settings.
#include <charconv>

#include "server/protocol/commands.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

// A decimal number read from the first characters, as atol reads it.
long long leading_number(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
    if (i < text.size() && text[i] == '+') ++i;
    long long value = 0;
    const char* first = text.data() + i;
    const auto [end, ec] = std::from_chars(first, text.data() + text.size(), value);
    if (ec == std::errc::result_out_of_range) return -1;  // never a usable offset or byte size
    return end == first ? 0 : value;
}

void type_text(Session& s, RepresentationType type, std::string_view rest) {
    if (rest.empty() || rest[0] != ' ') {
        s.transfer.type = type;
        s.reply(kCommandOkay);
        return;
    }
    const std::string_view format = rest.substr(1);
    if (format == "N") {
        s.transfer.type = type;
        s.transfer.format_control = 1;
        s.reply(kCommandOkay);
    } else if (format == "T" || format == "C") {
        s.reply(kNotForParameter);
    } else {
        s.reply(kBadParameters);
    }
}

void type_local(Session& s, std::string_view rest) {
    if (rest.empty() || rest[0] != ' ') {
        s.reply(kBadParameters);
    } else if (leading_number(rest.substr(1)) == 8) {
        s.transfer.type = RepresentationType::LOCAL;
        s.reply(kCommandOkay);
    } else {
        s.reply(kNotForParameter);
    }
}

}  // namespace

void cmd_type(Session& s, std::string_view argument) {
    const char code = argument.empty() ? '\0' : argument[0];
    const std::string_view rest = argument.empty() ? argument : argument.substr(1);
    switch (code) {
        case 'A':
            return type_text(s, RepresentationType::ASCII, rest);
        case 'E':
            return type_text(s, RepresentationType::EBCDIC, rest);
        case 'L':
            return type_local(s, rest);
        case 'I':
            if (!rest.empty()) {
                s.reply(kBadParameters);
                return;
            }
            s.transfer.type = RepresentationType::IMAGE;
            s.reply(kCommandOkay);
            return;
        default:
            s.reply(kUnrecognized);
    }
}

void cmd_stru(Session& s, std::string_view argument) {
    if (argument == "F") {
        s.transfer.structure = 1;
        s.reply(kCommandOkay);
    } else if (argument == "P" || argument == "R") {
        s.reply(kNotForParameter);
    } else {
        s.reply(kBadParameters);
    }
}

void cmd_mode(Session& s, std::string_view argument) {
    const char code = argument.empty() ? '\0' : argument[0];
    const bool known = code == 'S' || code == 'B' || code == 'C';
    if (!known) {
        s.reply(kBadParameters);
    } else if (argument.size() > 1) {
        s.reply(kUnrecognized);
    } else if (code == 'S') {
        s.transfer.transfer_mode = 1;
        s.reply(kCommandOkay);
    } else {
        s.reply(kNotForParameter);
    }
}

void cmd_rest(Session& s, std::string_view argument) {
    // A negative offset is refused and stores nothing; 0 (or no number) clears the offset.
    const long long offset = argument.starts_with('-') ? -1 : leading_number(argument);
    if (offset < 0) {
        s.reply(kBadParameters);
        return;
    }
    s.transfer.restart_offset = offset;
    if (offset == 0) {
        s.reply(kBadParameters);
    } else {
        s.reply(kPendingFurtherInformation);
    }
}

}  // namespace kesto::server
