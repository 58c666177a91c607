// The manager's start when its program folder has no catalogue: the plain message, and
// no window. Its own process, as init_library's state is the process's.
#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QTimer>
#include <QtTest>

#include "manager/manager_app.h"

class ManagerStartTest : public QObject {
    Q_OBJECT

  private slots:
    void without_a_catalogue_the_start_says_so_and_ends() {
        QString shown;
        QTimer::singleShot(0, [&] {
            QWidget* modal = nullptr;
            QTRY_VERIFY((modal = QApplication::activeModalWidget()) != nullptr);
            auto* box = qobject_cast<QMessageBox*>(modal);
            QVERIFY(box != nullptr);
            shown = box->text();
            box->button(QMessageBox::Ok)->click();
        });
        // This program's folder (the build's) holds no msg/ folder.
        const char* args[] = {"KestoFTP"};
        QCOMPARE(kesto::manager::run_manager(args), 1);
        QCOMPARE(shown, QString(kesto::manager::kInstallationMessage));
    }
};

QTEST_MAIN(ManagerStartTest)
#include "manager_start_test.moc"
