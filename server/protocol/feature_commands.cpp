// FEAT and OPTS: what this server offers beyond the base command set (RFC 2389), and
// the options a client may set for it (UTF8 of RFC 2640, MLST of RFC 3659).
#include <array>
#include <string>

#include "server/formats/machine_facts.h"
#include "server/protocol/commands.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {

// FEAT's feature lines, each sent with a leading blank. The MLST line follows the
// session's selection and is built where it is sent. Features of a secured control
// connection (AUTH TLS, PBSZ, PROT) go before EPSV once the server offers them.
constexpr std::array<std::string_view, 3> kFeaturesBeforeMlst = {"EPSV", "EPRT", "MDTM"};
constexpr std::array<std::string_view, 4> kFeaturesAfterMlst = {"REST STREAM", "SIZE", "TVFS",
                                                                "UTF8"};

bool send_feature(Session& s, std::string_view feature) {
    return s.text(" " + std::string(feature) + "\r\n");
}

// Names are bytes, passed through unchanged both ways; nothing can be switched.
void set_utf8(Session& s, std::string_view value) {
    if (value == "ON") {
        s.reply(200, "UTF8 mode is always on.");
    } else if (value == "OFF") {
        s.reply(kNotForParameter);
    } else {
        s.reply(kBadParameters);
    }
}

// RFC 3659 7.9: the reply names the facts now selected, each followed by ';'.
void select_facts(Session& s, std::string_view list) {
    s.transfer.listing_facts = formats::parse_fact_list(list);
    const std::string names = formats::selected_fact_names(s.transfer.listing_facts);
    s.reply(200, names.empty() ? std::string("MLST OPTS") : "MLST OPTS " + names);
}

}  // namespace

void cmd_feat(Session& s, std::string_view rest) {
    if (!rest.empty()) {
        s.reply(rest.front() == ' ' ? kBadParameters : kUnrecognized);
        return;
    }
    if (!s.text("211-Features:\r\n")) return;
    for (std::string_view feature : kFeaturesBeforeMlst) {
        if (!send_feature(s, feature)) return;
    }
    if (!send_feature(s, "MLST " + formats::offered_fact_names(s.transfer.listing_facts))) return;
    for (std::string_view feature : kFeaturesAfterMlst) {
        if (!send_feature(s, feature)) return;
    }
    s.reply(211, "End");
}

void cmd_opts(Session& s, std::string_view argument) {
    // The line is upper-cased already; the option's name ends at the first blank.
    const std::size_t blank = argument.find(' ');
    const std::string_view option = argument.substr(0, blank);
    const std::string_view value =
        blank == std::string_view::npos ? std::string_view() : argument.substr(blank + 1);
    if (option == "UTF8") {
        set_utf8(s, value);
    } else if (option == "MLST") {
        select_facts(s, value);
    } else {
        s.reply(kBadParameters);
    }
}

}  // namespace kesto::server
