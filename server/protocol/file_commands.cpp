// DELE, RMD, MKD, RNFR, RNTO, SIZE and MDTM. File-system failures are never logged:
// they only choose the reply.
#include <cstdio>

#include "platform/clock.h"
#include "platform/errors.h"
#include "platform/files.h"
#include "server/protocol/commands.h"
#include "server/protocol/limits.h"
#include "server/protocol/replies.h"

namespace kesto::server {

namespace {}  // namespace

void cmd_dele(Session& s, std::string_view argument) {
    platform::Entry entry;
    if (!s.resolve_path(argument, platform::Follow::not_final_link, entry)) return;
    const platform::FileInfo info = platform::file_info(entry);
    // As on Windows, a read-only file cannot be deleted.
    const bool removed =
        info.exists && !info.is_directory && !info.read_only && platform::remove_file(entry) == 0;
    s.reply(removed ? kFileActionDone : kNotTaken);
}

void cmd_rmd(Session& s, std::string_view argument) {
    platform::Entry entry;
    if (!s.resolve_path(argument, platform::Follow::not_final_link, entry)) return;
    const platform::FileInfo info = platform::file_info(entry);
    if (!info.exists) {
        s.reply(kBadParameters);
        return;
    }
    // As on Windows, a read-only folder cannot be removed.
    const int error = info.read_only ? -1 : platform::remove_directory(entry);
    if (error == 0) {
        s.reply(kFileActionDone);
    } else if (platform::no_such_entry(error)) {
        s.reply(kBadParameters);
    } else {
        s.reply(kNotTaken);
    }
}

void cmd_mkd(Session& s, std::string_view argument) {
    const std::string text = "\"" + std::string(argument) + "\" created.";
    // Known before acting: a reply that cannot be sent must not follow a change.
    if (text.size() > kReplyTextLimit) {
        s.reply(kBadParameters);
        return;
    }
    platform::Entry entry;
    if (!s.resolve_path(argument, platform::Follow::not_final_link, entry)) return;
    if (platform::make_directory(entry) == 0) {
        s.reply(257, text);
    } else {
        s.reply(kNotTaken);
    }
}

void cmd_rnfr(Session& s, std::string_view argument) {
    platform::Entry entry;
    if (!s.resolve_path(argument, platform::Follow::not_final_link, entry)) return;
    // Kept as resolved: RNTO renames through the same folder descriptor.
    s.login.rename_source = std::move(entry);
    if (platform::file_info(s.login.rename_source).exists) {
        s.login.rename_pending = true;
        s.reply(kPendingFurtherInformation);
    } else {
        s.reply(kNotTaken);
    }
}

void cmd_rnto(Session& s, std::string_view argument) {
    if (!s.login.rename_pending) {
        s.reply(kBadSequence);
        return;
    }
    platform::Entry entry;
    if (!s.resolve_path(argument, platform::Follow::not_final_link, entry)) return;
    // A taken name (in any letter case; for desktop clients the exact one) is refused
    // rather than replaced.
    if (platform::rename_no_replace(s.login.rename_source, entry) == 0) {
        s.reply(kFileActionDone);
    } else {
        s.reply(kNameNotTaken);
    }
}

void cmd_size(Session& s, std::string_view argument) {
    platform::Entry entry;
    if (!s.resolve_path(argument, platform::Follow::final_link, entry)) return;
    const platform::FileInfo info = platform::file_info(entry);
    const bool must_open = s.transfer.type == RepresentationType::ASCII ||
                           s.transfer.type == RepresentationType::EBCDIC;
    if (!info.is_regular || (must_open && !platform::can_read_file(entry))) {
        s.reply(kNotTaken);
        return;
    }
    // Always the bytes on disk, whatever the type: RETR sends them unchanged.
    s.reply(213, std::to_string(static_cast<unsigned long long>(info.size)));
}

void cmd_mdtm(Session& s, std::string_view argument) {
    platform::Entry entry;
    if (!s.resolve_path(argument, platform::Follow::final_link, entry)) return;
    const platform::FileInfo info = platform::file_info(entry);
    std::tm t{};
    // Desktop clients get UTC, as RFC 3659 asks; machine controls the local time.
    const bool converted = s.login.account.desktop ? platform::to_utc_time(info.mtime, t)
                                                   : platform::to_local_time(info.mtime, t);
    // The year in 64 bits: tm_year + 1900 overflows an int for times far in the future,
    // and a stamp has four digits for it.
    const long long year =
        info.is_regular && converted ? static_cast<long long>(t.tm_year) + 1900 : 0;
    if (year < 1 || year > 9999) {
        s.reply(kNotTaken);
        return;
    }
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%04lld%02d%02d%02d%02d%02d", year, t.tm_mon + 1, t.tm_mday,
                  t.tm_hour, t.tm_min, t.tm_sec);
    s.reply(213, stamp);
}

}  // namespace kesto::server
