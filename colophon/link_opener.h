#pragma once
// How a hyperlink's target ("mailto:...", "http://...") is opened. The result follows the
// system's "open a document" call: above 32 when the target was handed to a program,
// else an error code with a text in hyperlink_errors.h.
//
// First the desktop's opener (QDesktopServices: xdg-open, xdg-email). When that fails,
// the BROWSER environment variable, the desktop's convention for naming a browser: a
// ':'-separated list of commands in which "%s" stands for the URL. Its first command is
// cut at its first "%s" (a quoted "\"%s\"" counts as the placeholder with its quotes),
// and the rest is run detached with the target as one more argument, as a registered
// "program "%1"" command is run with the target in place of "%1".

#include <QString>
#include <QStringList>
#include <functional>

namespace kesto::colophon {

inline constexpr int kLinkOpened = 33;     // any result above 32 is success
inline constexpr int kNoProgram = 31;      // nothing is able to open the target
inline constexpr int kProgramMissing = 2;  // the BROWSER command cannot be started

[[nodiscard]] constexpr bool link_opened(int result) {
    return result > 32;
}

// Opens `target` with the desktop's opener, else through BROWSER.
[[nodiscard]] int open_with_desktop(const QString& target);

// The BROWSER step alone, with the variable's value `browser`.
[[nodiscard]] int open_with_browser(const QString& browser, const QString& target);

// The program and its arguments that `browser` (the variable's value) gives for
// `target`; empty when it names no command.
[[nodiscard]] QStringList browser_command(const QString& browser, const QString& target);

// The opener every HyperLink uses; tests replace it. An empty one restores
// open_with_desktop.
using LinkOpener = std::function<int(const QString& target)>;
void set_link_opener(LinkOpener opener);
[[nodiscard]] int open_link(const QString& target);

}  // namespace kesto::colophon
