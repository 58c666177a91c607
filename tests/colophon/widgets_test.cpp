// The library's widgets and rules, linked directly: the viewer's lines, the link's
// colours and its opener, the error texts.
#include <stdlib.h>

#include <QMessageBox>
#include <QtTest>
#include <filesystem>
#include <fstream>

#include "colophon/catalogue_labels.h"
#include "colophon/hyper_link.h"
#include "colophon/hyperlink_errors.h"
#include "colophon/link_opener.h"
#include "colophon/viewer_lines.h"
#include "modal_watcher.h"
#include "test_suites.h"

namespace kesto::colophon {
namespace {

namespace fs = std::filesystem;

void write_file(const fs::path& path, const std::string& text) {
    std::ofstream(path, std::ios::binary) << text;
}

void enter(QWidget* widget) {
    QEnterEvent event(QPointF(2, 2), QPointF(2, 2), widget->mapToGlobal(QPointF(2, 2)));
    QApplication::sendEvent(widget, &event);
}

void leave(QWidget* widget) {
    QEvent event(QEvent::Leave);
    QApplication::sendEvent(widget, &event);
}

}  // namespace

class WidgetsTest : public QObject {
    Q_OBJECT

  private slots:
    void init();
    void cleanup();

    void viewerReadsTheNamedFileElseTheEnglishOne();
    void viewerSplitsLongLinesIntoItems();
    void linkColoursFollowPointerAndVisit();
    void linkOpensWithKeyboard();
    void failedLinkWarnsAndStaysNotVisited();
    void errorTextsFollowTheTable();
    void browserVariableFormsTheCommand();
    void browserVariableStartsTheProgram();
    void accelerators();

  private:
    fs::path folder_;
    QStringList opened_;
};

void WidgetsTest::init() {
    char name[] = "/tmp/kesto-colophon-widgets-XXXXXX";
    QVERIFY(::mkdtemp(name) != nullptr);
    folder_ = name;
    opened_.clear();
}

void WidgetsTest::cleanup() {
    set_link_opener({});
    fs::remove_all(folder_);
}

void WidgetsTest::viewerReadsTheNamedFileElseTheEnglishOne() {
    write_file(folder_ / "license.de", "Deutsch\r\n\r\nzweite\n");
    write_file(folder_ / "license.us", "English");
    using Lines = std::vector<std::string>;
    QCOMPARE(read_viewer_lines((folder_ / "license.de").string()),
             Lines({"Deutsch", "", "zweite"}));
    QCOMPARE(read_viewer_lines((folder_ / "license.fr").string()), Lines({"English"}));
    QVERIFY(read_viewer_lines((folder_ / "none" / "license.fr").string()).empty());
    QVERIFY(read_viewer_lines("").empty());
    QCOMPARE(english_fallback("/opt/kesto.d/license"), std::string("/opt/kesto.d/license.us"));
    // A folder where the file is expected cannot be read: the English one is shown.
    fs::create_directory(folder_ / "notes.it");
    write_file(folder_ / "notes.us", "notes");
    QCOMPARE(read_viewer_lines((folder_ / "notes.it").string()), Lines({"notes"}));
}

void WidgetsTest::viewerSplitsLongLinesIntoItems() {
    write_file(folder_ / "long.us", std::string(5000, 'x') + "\nshort\n");
    const auto items = read_viewer_lines((folder_ / "long.us").string());
    QCOMPARE(items.size(), std::size_t{4});
    QCOMPARE(items[0].size(), std::size_t{1999});
    QCOMPARE(items[1].size(), std::size_t{1999});
    QCOMPARE(items[2].size(), std::size_t{1002});
    QCOMPARE(items[3], std::string("short"));
    // A two-byte character across the bound moves whole into the next item.
    const auto split = viewer_items(std::string(1998, 'a') + "\xC3\xA9" + "b");
    QCOMPARE(split.size(), std::size_t{2});
    QCOMPARE(split[1], std::string("\xC3\xA9"
                                   "b"));
}

void WidgetsTest::linkColoursFollowPointerAndVisit() {
    set_link_opener([this](const QString& target) {
        opened_ << target;
        return kLinkOpened;
    });
    HyperLink link(QStringLiteral("www.example.org"), QStringLiteral("http://www.example.org"));
    link.move(200, 200);  // away from the pointer
    link.show();
    QVERIFY(QTest::qWaitForWindowExposed(&link));
    const QColor highlight = link.palette().color(QPalette::Highlight);
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(0, 0, 238));
    QVERIFY(link.font().underline());
    QCOMPARE(link.toolTip(), QStringLiteral("http://www.example.org"));
    QCOMPARE(link.cursor().shape(), Qt::PointingHandCursor);

    enter(&link);
    QCOMPARE(link.palette().color(QPalette::WindowText), highlight);
    leave(&link);
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(0, 0, 238));

    QTest::mouseClick(&link, Qt::LeftButton);
    QCOMPARE(opened_, QStringList({"http://www.example.org"}));
    QVERIFY(link.visited());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(85, 26, 139));
    enter(&link);
    QCOMPARE(link.palette().color(QPalette::WindowText), highlight);
}

void WidgetsTest::linkOpensWithKeyboard() {
    set_link_opener([this](const QString& target) {
        opened_ << target;
        return kLinkOpened;
    });
    HyperLink link(QString(), QStringLiteral("mailto:support@example.com"));
    QCOMPARE(link.text(), QStringLiteral("mailto:support@example.com"));
    QCOMPARE(link.focusPolicy(), Qt::StrongFocus);
    QTest::keyClick(&link, Qt::Key_Space);
    QTest::keyClick(&link, Qt::Key_Return);
    QTest::keyClick(&link, Qt::Key_A);
    QCOMPARE(opened_.size(), 2);
}

void WidgetsTest::failedLinkWarnsAndStaysNotVisited() {
    set_link_opener([](const QString&) { return kNoProgram; });
    HyperLink link(QStringLiteral("www.example.org"), QStringLiteral("http://www.example.org"));
    link.show();
    QVERIFY(QTest::qWaitForWindowExposed(&link));
    QString warning;
    const ModalWatcher watcher(QString(), [&](QDialog* dialog) {
        if (auto* box = qobject_cast<QMessageBox*>(dialog)) warning = box->text();
        dialog->done(QMessageBox::Ok);
    });
    QTest::mouseClick(&link, Qt::LeftButton);
    QVERIFY(watcher.seen());
    QCOMPARE(warning, QStringLiteral("Unable to open hyperlink:\n\nThere is no application "
                                     "associated\nwith the given filename extension."));
    QVERIFY(!link.visited());
    QCOMPARE(link.palette().color(QPalette::WindowText), QColor(0, 0, 238));
}

void WidgetsTest::errorTextsFollowTheTable() {
    QCOMPARE(hyperlink_error_text(26), std::string("A sharing violation occurred."));
    QCOMPARE(hyperlink_error_text(4), std::string("Unknown Error (4) occurred."));
    QCOMPARE(hyperlink_error_text(0),
             std::string("The operating system is out\nof memory or resources."));
    QCOMPARE(hyperlink_error_text(2), std::string("The specified file was not found."));
    QCOMPARE(hyperlink_error_text(33), std::string("Unknown Error (33) occurred."));
}

void WidgetsTest::browserVariableFormsTheCommand() {
    const QString url = QStringLiteral("http://www.example.org");
    QCOMPARE(browser_command("firefox %s:lynx", url), QStringList({"firefox", url}));
    QCOMPARE(browser_command("\"/opt/web browser/run\" --new \"%s\" --last", url),
             QStringList({"/opt/web browser/run", "--new", url}));
    QCOMPARE(browser_command("lynx", url), QStringList({"lynx", url}));
    QVERIFY(browser_command("", url).isEmpty());
    QVERIFY(browser_command(":lynx", url).isEmpty());
}

// A "browser" that writes its argument into a file, named as a program path followed by
// the quoted placeholder.
void WidgetsTest::browserVariableStartsTheProgram() {
    const fs::path browser = folder_ / "browser.sh";
    const fs::path opened = folder_ / "opened";
    write_file(browser, "#!/bin/sh\nprintf '%s' \"$1\" > \"" + opened.string() + ".tmp\"\nmv \"" +
                            opened.string() + ".tmp\" \"" + opened.string() + "\"\n");
    fs::permissions(browser, fs::perms::owner_all);
    const QString command = QString::fromStdString(browser.string()) + " \"%s\"";
    QCOMPARE(open_with_browser(command, "http://www.example.org"), kLinkOpened);
    QTRY_VERIFY_WITH_TIMEOUT(fs::exists(opened), 10000);
    std::ifstream in(opened);
    std::string argument;
    std::getline(in, argument);
    QCOMPARE(argument, std::string("http://www.example.org"));

    const QString missing = QString::fromStdString((folder_ / "missing").string()) + " %s";
    QCOMPARE(open_with_browser(missing, "http://www.example.org"), kProgramMissing);
    QCOMPARE(open_with_browser(QString(), "http://www.example.org"), kNoProgram);
}

void WidgetsTest::accelerators() {
    QCOMPARE(without_accelerator("&License"), QStringLiteral("License"));
    QCOMPARE(without_accelerator("Save && &Quit&"), QStringLiteral("Save & Quit"));
}

int run_widget_tests(int argc, char** argv) {
    WidgetsTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kesto::colophon

#include "widgets_test.moc"
