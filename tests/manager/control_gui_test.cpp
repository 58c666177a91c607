// Starting, stopping and watching a real kftpd from the main window (offscreen), from a
// program folder whose path holds a blank, and the server log viewer.
#include <netinet/in.h>
#include <sys/socket.h>

#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <memory>

#include "common/catalogue.h"
#include "common/message_numbers.h"
#include "common/profile_store.h"
#include "common/qt/message_boxes.h"
#include "manager/account_file.h"
#include "manager/log_viewer.h"
#include "manager/main_dialog.h"
#include "platform/control_endpoint.h"
#include "platform/unique_fd.h"
#include "test_server.h"

namespace fs = std::filesystem;
namespace test = kesto::test;
using kesto::common::catalogue_text;
using kesto::manager::MainDialog;

namespace {

constexpr int kDeadline = 5000;  // ms: a start, a stop, or a timer tick and a half

// A copy of the installed server in a temporary folder whose name holds a blank.
struct BlankFolder {
    BlankFolder() {
        char pattern[] = "/tmp/kesto control XXXXXX";
        path = ::mkdtemp(pattern);
        fs::create_directory(path / "cfg");
        fs::copy_file(fs::path(KESTO_STAGE_DIR) / "kftpd", path / "kftpd");
    }
    ~BlankFolder() {
        (void)kesto::platform::request_stop(path.string());  // a server a failed test left
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    fs::path config() const { return path / "cfg" / "KestoFTP.ini"; }
    fs::path path;
};

// The settings section and one account, as the manager would have written them.
void write_config(const fs::path& file, int port, const std::string& log_level) {
    test::write_file(file,
                     "[GLOBAL]\r\nSYSTEM_ADDRESS=127.0.0.1\r\nSYSTEM_PORT=" + std::to_string(port) +
                         "\r\nLOG_LEVEL=" + log_level + "\r\nLOG_FILENAME=kftpd.log\r\n");
    kesto::common::ProfileStore store(file.string());
    kesto::manager::AccountFile accounts(store);
    (void)accounts.load();
    kesto::manager::AccountValues carl;
    carl.name = "carl";
    carl.password = "pw";
    carl.folder = file.parent_path().string();
    QVERIFY(accounts.add(carl));
}

QWidget* control(QWidget* window, int id) {
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (w->property("controlId").isValid() && w->property("controlId").toInt() == id) return w;
    }
    return nullptr;
}

QString status(QWidget* window) {
    return qobject_cast<QLabel*>(control(window, kesto::manager::kStatusId))->text();
}

QPushButton* start_stop(QWidget* window) {
    return qobject_cast<QPushButton*>(control(window, kesto::manager::kStartStopId));
}

// Answers the next message box with `answer`; its text goes to `text`. It polls from a
// timer of its own rather than waiting in a loop, since the box may open inside a later
// event (the start's watch) that a waiting loop here would sit beneath.
void answer_box(QMessageBox::StandardButton answer, QString* text = nullptr) {
    auto* poll = new QTimer;
    auto* const armed_at = new QElapsedTimer;
    armed_at->start();
    QObject::connect(poll, &QTimer::timeout, [poll, armed_at, answer, text] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr && armed_at->elapsed() < kDeadline) return;
        poll->stop();
        poll->deleteLater();
        delete armed_at;
        if (box == nullptr) return;  // the test's own checks report the missing box
        if (text != nullptr) *text = box->text();
        box->button(answer)->click();
    });
    poll->start(20);
}

QString file_text(const fs::path& path) {
    return QString::fromStdString(test::read_file(path)).remove('\r');
}

}  // namespace

class ControlTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase() {
        QVERIFY(kesto::common::load_catalogue(KESTO_CATALOGUE_DIR "/msg_us.bin") > 0);
    }

    // Start, log in, the log viewer, No and Yes to the stop question.
    void startAndStop() {
        BlankFolder folder;
        const int port = test::free_port();
        write_config(folder.config(), port, "INFORMATIONAL");
        kesto::common::ProfileStore store(folder.config().string());
        MainDialog window(store, folder.path.string(), "us");
        window.show();
        QCOMPARE(status(&window), catalogue_text(kesto::msg::kServerStopped));
        QCOMPARE(start_stop(&window)->text(), catalogue_text(kesto::msg::kStartServer));

        start_stop(&window)->click();
        QTRY_COMPARE_WITH_TIMEOUT(status(&window), catalogue_text(kesto::msg::kServerRunning),
                                  kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(start_stop(&window)->text(),
                                  catalogue_text(kesto::msg::kStopServer), kDeadline);
        QTRY_VERIFY_WITH_TIMEOUT(start_stop(&window)->isEnabled(), kDeadline);
        test::FtpConnection client(port);
        QVERIFY(!client.reply().empty());
        QVERIFY(client.login("carl", "pw"));
        save_screenshot(window);

        // The viewer shows the file as the server wrote it, and follows it.
        qobject_cast<QPushButton*>(control(&window, kesto::manager::kServerLogId))->click();
        auto* viewer = window.findChild<kesto::manager::LogViewer*>();
        QVERIFY(viewer != nullptr);
        const fs::path log = folder.path / "KFTPD.LOG";
        QVERIFY(file_text(log).contains("Logging started."));
        QTRY_COMPARE_WITH_TIMEOUT(viewer->text(), file_text(log), kDeadline);
        QVERIFY(viewer->notice().contains("KFTPD.LOG"));

        answer_box(QMessageBox::No);
        start_stop(&window)->click();
        QCOMPARE(window.server_control().stop_runs(), 0);
        QCOMPARE(start_stop(&window)->text(), catalogue_text(kesto::msg::kStopServer));
        QVERIFY(kesto::platform::probe_server(folder.path.string()) ==
                kesto::platform::Presence::server);

        answer_box(QMessageBox::Yes);
        start_stop(&window)->click();
        QTRY_COMPARE_WITH_TIMEOUT(start_stop(&window)->text(),
                                  catalogue_text(kesto::msg::kStartServer), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(status(&window), catalogue_text(kesto::msg::kServerStopped),
                                  kDeadline);
        QCOMPARE(window.server_control().stop_runs(), 1);
        // The server has ended: its log is complete, and the viewer has followed it.
        QTRY_VERIFY_WITH_TIMEOUT(viewer->text().endsWith("Logging stopped.\n"), kDeadline);
        QTRY_COMPARE_WITH_TIMEOUT(viewer->text(), file_text(log), kDeadline);
    }

    // A busy port: the server's words (and what it logged) in a box, the caption at Start.
    void failedStartIsExplained() {
        BlankFolder folder;
        kesto::platform::UniqueFd taken(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        QCOMPARE(::bind(taken.get(), reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
        QCOMPARE(::listen(taken.get(), 1), 0);
        socklen_t length = sizeof address;
        ::getsockname(taken.get(), reinterpret_cast<sockaddr*>(&address), &length);
        write_config(folder.config(), ntohs(address.sin_port), "INFORMATIONAL");
        kesto::common::ProfileStore store(folder.config().string());
        MainDialog window(store, folder.path.string(), "us");

        QString message;
        answer_box(QMessageBox::Ok, &message);
        start_stop(&window)->click();
        QTRY_VERIFY_WITH_TIMEOUT(!message.isEmpty(), kDeadline);
        QVERIFY2(message.startsWith("Error starting the service."), qPrintable(message));
        QVERIFY2(message.contains("Unable to bind socket."), qPrintable(message));
        QVERIFY(!message.contains("KESTO FTP Server:"));
        QTRY_VERIFY_WITH_TIMEOUT(start_stop(&window)->isEnabled(), kDeadline);
        QCOMPARE(start_stop(&window)->text(), catalogue_text(kesto::msg::kStartServer));
        QCOMPARE(status(&window), catalogue_text(kesto::msg::kServerStopped));
    }

    // A server started elsewhere is found by the timer, and its end too.
    void serverStartedElsewhereIsFound() {
        test::ProgramFolder folder;
        kesto::common::ProfileStore store(folder.accounts().string());
        MainDialog window(store, folder.path().string(), "us");
        QCOMPARE(status(&window), catalogue_text(kesto::msg::kServerStopped));
        {
            test::ServerUnderTest server(folder, "INFORMATIONAL");
            QVERIFY(server.ready());
            QTRY_COMPARE_WITH_TIMEOUT(status(&window), catalogue_text(kesto::msg::kServerRunning),
                                      kDeadline);
            QCOMPARE(start_stop(&window)->text(), catalogue_text(kesto::msg::kStopServer));
        }
        QTRY_COMPARE_WITH_TIMEOUT(status(&window), catalogue_text(kesto::msg::kServerStopped),
                                  kDeadline);
        QCOMPARE(start_stop(&window)->text(), catalogue_text(kesto::msg::kStartServer));
    }

    // A setting changed while the server runs: the notice that it applies at the next start.
    void changedSettingsWhileRunningAreNoticed() {
        test::ProgramFolder folder;
        kesto::common::ProfileStore store(folder.accounts().string());
        MainDialog window(store, folder.path().string(), "us");
        window.show();
        test::ServerUnderTest server(folder, "INFORMATIONAL");
        QVERIFY(server.ready());
        QString notice;
        auto* poll = new QTimer(&window);
        QObject::connect(poll, &QTimer::timeout, [&, poll] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            if (dialog == nullptr || qobject_cast<QMessageBox*>(dialog) != nullptr) return;
            poll->stop();
            auto* level = qobject_cast<QComboBox*>(control(dialog, 1012));
            QVERIFY(level != nullptr);
            level->setCurrentIndex(level->currentIndex() == 1 ? 2 : 1);
            answer_box(QMessageBox::Ok, &notice);
            QTest::mouseClick(qobject_cast<QPushButton*>(control(dialog, 1)), Qt::LeftButton);
        });
        poll->start(20);
        QTest::mouseClick(
            qobject_cast<QPushButton*>(control(&window, kesto::manager::kConfigureId)),
            Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(notice, catalogue_text(kesto::msg::kSettingsNotice), kDeadline);
    }

    // The viewer says plainly why it shows nothing.
    void logViewerWithoutALog() {
        BlankFolder folder;
        write_config(folder.config(), test::free_port(), "none");
        kesto::common::ProfileStore store(folder.config().string());
        QVERIFY(kesto::manager::server_log_path(store, folder.path.string()).empty());
        kesto::manager::LogViewer off("");
        QCOMPARE(off.notice(), catalogue_text(kesto::msg::kLoggingOff));

        write_config(folder.config(), test::free_port(), "FATAL");
        const std::string path = kesto::manager::server_log_path(store, folder.path.string());
        QCOMPARE(QString::fromStdString(path),
                 QString::fromStdString((folder.path / "KFTPD.LOG").string()));
        kesto::manager::LogViewer missing(path);
        QVERIFY(missing.notice().contains("does not exist yet"));
        QVERIFY(missing.text().isEmpty());
        // A file that appears is shown, and one that is cut is read afresh.
        test::write_file(path, "! 01/02/26  10:00:00  Logging started.\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(missing.text(),
                                  QString("! 01/02/26  10:00:00  Logging started.\n"), kDeadline);
        test::write_file(path, "new\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(missing.text(), QString("new\n"), kDeadline);
    }

    // Only the newest part of a long log is shown, starting at a whole line.
    void longLogIsBounded() {
        BlankFolder folder;
        const fs::path log = folder.path / "long.log";
        std::string content;
        for (int i = 0; content.size() <= kesto::manager::kMaxLogBytesShown + 100; ++i) {
            content += "line " + std::to_string(i) + " of a long log\r\n";
        }
        test::write_file(log, content);
        kesto::manager::LogViewer viewer(log.string());
        const QString shown = viewer.text();
        QVERIFY(static_cast<std::size_t>(shown.size()) <= kesto::manager::kMaxLogBytesShown);
        QVERIFY(shown.startsWith("line "));
        QVERIFY(QString::fromStdString(content).remove('\r').endsWith(shown));
    }

  private:
    static void save_screenshot(QWidget& window) {
        const QByteArray folder = qgetenv("KESTO_SCREENSHOT_DIR");
        if (folder.isEmpty()) return;
        QVERIFY(window.grab().save(QString::fromLocal8Bit(folder) + "/main_window_running.png"));
    }
};

QTEST_MAIN(ControlTest)
#include "control_gui_test.moc"
