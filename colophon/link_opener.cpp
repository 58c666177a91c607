#include "colophon/link_opener.h"

#include <QDesktopServices>
#include <QProcess>
#include <QUrl>
#include <utility>

namespace kesto::colophon {

namespace {

LinkOpener& current_opener() {
    static LinkOpener opener;
    return opener;
}

// The first command of the list, cut before its placeholder.
QString command_before_placeholder(const QString& browser) {
    QString command = browser.section(u':', 0, 0);
    qsizetype cut = command.indexOf(QStringLiteral("\"%s\""));
    if (cut < 0) cut = command.indexOf(QStringLiteral("%s"));
    if (cut >= 0) command.truncate(cut);
    return command;
}

}  // namespace

QStringList browser_command(const QString& browser, const QString& target) {
    QStringList command = QProcess::splitCommand(command_before_placeholder(browser));
    // The target stays one argument even where it holds blanks or quotes.
    if (!command.isEmpty()) command.append(target);
    return command;
}

int open_with_browser(const QString& browser, const QString& target) {
    QStringList command = browser_command(browser, target);
    if (command.isEmpty()) return kNoProgram;
    const QString program = command.takeFirst();
    return QProcess::startDetached(program, command) ? kLinkOpened : kProgramMissing;
}

int open_with_desktop(const QString& target) {
    if (QDesktopServices::openUrl(QUrl(target))) return kLinkOpened;
    return open_with_browser(qEnvironmentVariable("BROWSER"), target);
}

void set_link_opener(LinkOpener opener) {
    current_opener() = std::move(opener);
}

int open_link(const QString& target) {
    const LinkOpener& opener = current_opener();
    return opener ? opener(target) : open_with_desktop(target);
}

}  // namespace kesto::colophon
