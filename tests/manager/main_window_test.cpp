// The main window driven as a user drives it (offscreen): the file is checked byte for
// byte after each step.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>

#include "common/catalogue.h"
#include "common/message_numbers.h"
#include "common/profile_store.h"
#include "manager/main_dialog.h"
#include "platform/file_lock.h"

namespace fs = std::filesystem;
using kesto::common::ProfileStore;
using kesto::manager::MainDialog;

namespace {

const std::string kNewFile =
    "\r\n## INIFILEVERSION #############################################################\r\n"
    "\r\n[INIFILEVERSION]\r\nVERSION\t\t= 200\r\n";

std::string banner(const std::string& name) {
    return "\r\n## " + name + " " + std::string(75 - name.size(), '#') + "\r\n\r\n[" + name +
           "]\r\n";
}

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

QWidget* control(QWidget* window, int id) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->property("controlId").toInt() == id && w->property("controlId").isValid()) return w;
    }
    return nullptr;
}

QPushButton* button(QWidget* window, int id) {
    return qobject_cast<QPushButton*>(control(window, id));
}

// Runs `act` on the next modal window once it is open (a message box or a dialog):
// the first one other than the modal window active now.
void on_next_modal(std::function<void(QWidget*)> act) {
    QWidget* const before = QApplication::activeModalWidget();
    QTimer::singleShot(0, [act = std::move(act), before] {
        QWidget* modal = nullptr;
        QTRY_VERIFY((modal = QApplication::activeModalWidget()) != nullptr && modal != before);
        act(modal);
    });
}

// Answers the next message box with `answer`; its text goes to `text` when given, and
// `then` is armed for the modal window that follows.
void answer_box(QMessageBox::StandardButton answer, QString* text = nullptr,
                std::function<void()> then = {}) {
    on_next_modal([answer, text, then](QWidget* modal) {
        auto* box = qobject_cast<QMessageBox*>(modal);
        QVERIFY(box != nullptr);
        if (text != nullptr) *text = box->text();
        if (then) then();
        QVERIFY(box->button(answer) != nullptr);
        box->button(answer)->click();
    });
}

// Fills the account editor and presses OK.
void fill_editor(const QString& name, const QString& password, const QString& folder) {
    on_next_modal([=](QWidget* editor) {
        for (auto [id, text] : {std::pair{1002, name}, {1003, password}, {1006, folder}}) {
            auto* edit = qobject_cast<QLineEdit*>(control(editor, id));
            QVERIFY(edit != nullptr);
            edit->selectAll();
            QTest::keyClicks(edit, text);
        }
        QTest::mouseClick(button(editor, 1), Qt::LeftButton);
    });
}

QStringList rows(const MainDialog& window) {
    QStringList out;
    QTreeWidget* list = window.account_list();
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        out << list->topLevelItem(i)->text(0) + "|" + list->topLevelItem(i)->text(1);
    }
    return out;
}

int selected(const MainDialog& window) {
    const auto items = window.account_list()->selectedItems();
    return items.isEmpty() ? -1 : window.account_list()->indexOfTopLevelItem(items.first());
}

}  // namespace

class MainWindowTest : public QObject {
    Q_OBJECT

  private:
    fs::path folder_;
    fs::path file_;

    void put(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }

  private slots:
    void initTestCase() {
        QVERIFY(kesto::common::load_catalogue(KESTO_CATALOGUE_DIR "/msg_us.bin") > 0);
    }

    void init() {
        std::string pattern = (fs::temp_directory_path() / "kesto-main-XXXXXX").string();
        QVERIFY(::mkdtemp(pattern.data()) != nullptr);
        folder_ = pattern;
        fs::create_directories(folder_ / "cfg");
        file_ = folder_ / "cfg" / "KestoFTP.ini";
    }

    void cleanup() { fs::remove_all(folder_); }

    void a_missing_file_is_completed_with_the_defaults() {
        ProfileStore store(file_.string());
        MainDialog window(store, folder_.string(), "us");
        QCOMPARE(rows(window), QStringList{"anonymous|/tmp"});
        QCOMPARE(selected(window), 0);
        QCOMPARE(
            read_file(file_),
            kNewFile + banner("USERLIST") + "USERS\t\t= anonymous\r\n" + banner("USERANONYMOUS") +
                "SYS\t\t= UNIX\r\nPASS\t\t= qelvarbin\r\nNAME\t\t= anonymous\r\n"
                "PATH\t\t= /tmp\r\nROOT\t\t= Yes\r\n" +
                banner("GLOBAL") +
                "LOG_LEVEL\t= NONE\r\nLOG_FILENAME\t= kftpd.log\r\nSYSTEM_ADDRESS\t= 0.0.0.0\r\n");
        QVERIFY(window.windowTitle().startsWith("KESTO FTP v2.10 - "));
        QCOMPARE(button(&window, kesto::manager::kHelpId)->isHidden(), true);
    }

    void tokens_and_missing_names() {
        put("[USERLIST]\r\nUSERS = \"  bob  ,, alice,\"\r\n[USERbob]\r\nNAME = bob\r\nPATH = "
            "/srv/bob\r\n"
            "[USERalice]\r\nPATH = /srv/alice\r\n");
        ProfileStore store(file_.string());
        MainDialog window(store, folder_.string(), "us");
        QCOMPARE(rows(window), (QStringList{"bob|/srv/bob", "anonymous|/srv/alice"}));
        QVERIFY(read_file(file_).find("NAME\t\t= anonymous") != std::string::npos);
    }

    void add_edit_rename_and_remove() {
        put("[USERLIST]\r\nUSERS = bob\r\n[USERbob]\r\nNAME = bob\r\nPASS = x\r\nPATH = /tmp\r\n");
        ProfileStore store(file_.string());
        MainDialog window(store, folder_.string(), "us");
        window.show();

        fill_editor("carl", "pw", QString::fromStdString(folder_.string()));
        QTest::mouseClick(button(&window, kesto::manager::kAddId), Qt::LeftButton);
        QCOMPARE(rows(window).size(), 2);
        QCOMPARE(selected(window), 0);  // the new row is not selected
        std::string text = read_file(file_);
        QVERIFY(text.find("USERS = bob,carl\r\n") != std::string::npos);
        QVERIFY(text.find(banner("USERCARL") +
                          "NAME\t\t= carl\r\nPASS\t\t= pw\r\nPATH\t\t= " + folder_.string() +
                          "\r\nROOT\t\t= No\r\nREADONLY\t= No\r\nSYS\t\t= UNIX\r\n"
                          "DESKTOP\t\t= No\r\n") != std::string::npos);

        // A change of letter case keeps the section.
        fill_editor("Bob", "x", "/tmp");
        QTest::mouseClick(button(&window, kesto::manager::kEditId), Qt::LeftButton);
        text = read_file(file_);
        QVERIFY(text.find("[USERbob]\r\nNAME = Bob\r\n") != std::string::npos);
        QVERIFY(text.find("USERS = bob,carl\r\n") != std::string::npos);

        // A new name moves the section and the name to the end of the list.
        fill_editor("dora", "x", "/tmp");
        QTest::mouseClick(button(&window, kesto::manager::kEditId), Qt::LeftButton);
        text = read_file(file_);
        QVERIFY(text.find("[USERbob]") == std::string::npos);
        QVERIFY(text.find("[USERDORA]") != std::string::npos);
        QVERIFY(text.find("USERS = carl,dora\r\n") != std::string::npos);
        QCOMPARE(rows(window).first(), "dora|/tmp");

        // Removing the first row asks, then selects the new first row.
        QString question;
        answer_box(QMessageBox::Yes, &question);
        QTest::mouseClick(button(&window, kesto::manager::kRemoveId), Qt::LeftButton);
        QVERIFY(question.contains("dora"));
        QCOMPARE(rows(window), QStringList{"carl|" + QString::fromStdString(folder_.string())});
        QCOMPARE(selected(window), 0);
        text = read_file(file_);
        QVERIFY(text.find("USERDORA") == std::string::npos);
        QVERIFY(text.find("USERS = carl\r\n") != std::string::npos);

        answer_box(QMessageBox::No);
        QTest::mouseClick(button(&window, kesto::manager::kRemoveId), Qt::LeftButton);
        QCOMPARE(rows(window).size(), 1);  // No keeps the account
    }

    // The editor's tick box for desktop clients is written as DESKTOP and shown again.
    void the_desktop_tick_box_is_stored_and_shown_again() {
        put("[USERLIST]\r\nUSERS = bob\r\n[USERbob]\r\nNAME = bob\r\nPASS = x\r\nPATH = "
            "/tmp\r\nROOT = Yes\r\n");
        ProfileStore store(file_.string());
        MainDialog window(store, folder_.string(), "us");
        window.show();
        bool was_ticked = true;
        const auto click_desktop_and_ok = [&was_ticked] {
            on_next_modal([&was_ticked](QWidget* editor) {
                auto* box = qobject_cast<QCheckBox*>(control(editor, 1012));
                QVERIFY(box != nullptr);
                QCOMPARE(box->text(),
                         QString::fromUtf8(kesto::common::message(kesto::msg::kDesktopFlag)));
                was_ticked = box->isChecked();
                QTest::mouseClick(box, Qt::LeftButton);
                QTest::mouseClick(button(editor, 1), Qt::LeftButton);
            });
        };
        click_desktop_and_ok();
        QTest::mouseClick(button(&window, kesto::manager::kEditId), Qt::LeftButton);
        QVERIFY(!was_ticked);
        std::string text = read_file(file_);
        QVERIFY(text.find("READONLY\t= No\r\nDESKTOP\t\t= Yes\r\n") != std::string::npos);
        click_desktop_and_ok();
        QTest::mouseClick(button(&window, kesto::manager::kEditId), Qt::LeftButton);
        QVERIFY(was_ticked);
        text = read_file(file_);
        QVERIFY(text.find("DESKTOP\t\t= No\r\n") != std::string::npos);
        QVERIFY(text.find("DESKTOP\t\t= Yes") == std::string::npos);
    }

    void add_is_disabled_at_256_rows() {
        std::string users;
        for (int i = 0; i < 256; ++i)
            users += (i ? "," : "") + std::string("u") + std::to_string(i);
        put("[USERLIST]\r\nUSERS = " + users + "\r\n");
        ProfileStore store(file_.string());
        MainDialog window(store, folder_.string(), "us");
        QCOMPARE(window.account_list()->topLevelItemCount(), 256);
        QVERIFY(!button(&window, kesto::manager::kAddId)->isEnabled());
        answer_box(QMessageBox::Yes);
        QTest::mouseClick(button(&window, kesto::manager::kRemoveId), Qt::LeftButton);
        QVERIFY(button(&window, kesto::manager::kAddId)->isEnabled());
    }

    void enter_does_nothing_and_escape_closes() {
        ProfileStore store(file_.string());
        MainDialog window(store, folder_.string(), "us");
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QTest::keyClick(&window, Qt::Key_Return);
        QVERIFY(window.isVisible());
        QTest::keyClick(&window, Qt::Key_Escape);
        QVERIFY(!window.isVisible());
    }

    void a_change_that_is_not_saved_is_reported() {
        ProfileStore store(file_.string());
        MainDialog window(store, folder_.string(), "us");
        window.show();
        const std::string before = read_file(file_);
        kesto::platform::FileLock other_writer;  // holds the file, makes no progress
        QCOMPARE(other_writer.try_lock(file_.string() + ".lock"), 0);
        QString message;
        answer_box(QMessageBox::Yes, nullptr, [&] { answer_box(QMessageBox::Ok, &message); });
        QTest::mouseClick(button(&window, kesto::manager::kRemoveId), Qt::LeftButton);
        QCOMPARE(message, QString::fromUtf8(kesto::common::message(kesto::msg::kChangeNotSaved)));
        QCOMPARE(read_file(file_), before);
        QCOMPARE(rows(window), QStringList{"anonymous|/tmp"});  // the file again
    }

    void about_shows_the_colophon_and_unloads_it() {
        fs::create_directories(folder_ / "DLL");
        fs::copy_file(KESTO_COLOPHON, folder_ / "DLL" / "Colophon.so");
        ProfileStore store(file_.string());
        MainDialog window(store, folder_.string(), "us");
        window.show();
        QString title;
        on_next_modal([&](QWidget* about) {
            title = about->windowTitle();
            qobject_cast<QDialog*>(about)->accept();
        });
        QTest::mouseClick(button(&window, kesto::manager::kAboutId), Qt::LeftButton);
        QVERIFY(title.endsWith("KESTO FTP"));
        QVERIFY(read_file("/proc/self/maps").find("Colophon.so") == std::string::npos);
    }

    // With KESTO_SCREENSHOT_DIR set: the window with several accounts, in English and
    // in German (run again with QT_SCALE_FACTOR=2 for the high-resolution look).
    void screenshots() {
        const QByteArray folder = qgetenv("KESTO_SCREENSHOT_DIR");
        if (folder.isEmpty()) QSKIP("KESTO_SCREENSHOT_DIR is not set");
        const QString suffix = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? "_200" : "";
        put("[USERLIST]\r\nUSERS = anonymous,cnc-mill-1,lathe,programmer\r\n"
            "[USERanonymous]\r\nNAME = anonymous\r\nPATH = /srv/ftp/public\r\n"
            "[USERcnc-mill-1]\r\nNAME = cnc-mill-1\r\nPATH = /srv/ftp/machines/mill-1\r\n"
            "[USERlathe]\r\nNAME = lathe\r\nPATH = /srv/ftp/machines/lathe\r\n"
            "[USERprogrammer]\r\nNAME = programmer\r\nPATH = /home/programmer/nc-programs\r\n");
        for (const char* language : {"us", "de"}) {
            QVERIFY(kesto::common::load_catalogue(std::string(KESTO_CATALOGUE_DIR) + "/msg_" +
                                                  language + ".bin") > 0);
            ProfileStore store(file_.string());
            MainDialog window(store, folder_.string(), language);
            window.show();
            QVERIFY(QTest::qWaitForWindowExposed(&window));
            const QString name = QString(language) == "us" ? "main_window" : "main_window_de";
            QVERIFY(window.grab().save(QString::fromUtf8(folder) + "/" + name + suffix + ".png"));
        }
        QVERIFY(kesto::common::load_catalogue(KESTO_CATALOGUE_DIR "/msg_us.bin") > 0);
    }
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
