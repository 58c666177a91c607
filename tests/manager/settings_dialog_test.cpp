// The server settings dialog driven as a user drives it, on Qt's offscreen platform:
// what it shows for a given file, what OK writes (the file compared byte for byte),
// every refusal with its box and focus, and the autostart entry in a temporary
// XDG_CONFIG_DIRS below a program folder with blanks in its name.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>
#include <string>

#include "common/catalogue.h"
#include "common/message_numbers.h"
#include "common/profile_store.h"
#include "common/qt/message_boxes.h"
#include "common/text_helpers.h"
#include "dialog_test_support.h"
#include "manager/autostart.h"
#include "manager/settings_dialog.h"
#include "settings/keys.h"

namespace kesto::manager {
namespace {

using namespace kesto::manager::test;

namespace id = settings_control;

// The catalogue's text, as the dialogs show it.
constexpr auto text_of = &common::catalogue_text;

// The file with section GLOBAL holding these values, as the store writes it.
struct Global {
    QByteArray address = "0.0.0.0";
    QByteArray level = "NONE";
    QByteArray log_file = "kftpd.log";
    QByteArray port = "21";
    QByteArray idle = "900";
    QByteArray data = "60";

    [[nodiscard]] QByteArray file() const {
        return "[INIFILEVERSION]\r\nVERSION = 200\r\n[GLOBAL]\r\nSYSTEM_ADDRESS = " + address +
               "\r\nLOG_LEVEL = " + level + "\r\nLOG_FILENAME = " + log_file +
               "\r\nSYSTEM_PORT = " + port + "\r\nIDLE_TIMEOUT = " + idle +
               "\r\nDATA_TIMEOUT = " + data + "\r\n";
    }
};

struct BoxSeen {
    QString caption;
    QString text;
};

// Answers every message box that opens while it lives with its default button and
// records it. Past a deadline every modal window is closed, so a dialog that loops
// fails the test instead of hanging it.
class BoxAnswerer {
  public:
    BoxAnswerer() {
        QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
        poll_.start(10);
    }
    [[nodiscard]] const QList<BoxSeen>& seen() const { return seen_; }

  private:
    void answer() {
        if (deadline_.hasExpired()) {
            while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                modal->reject();
        }
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible() || box == answered_) return;
        answered_ = box;
        seen_.append({box->windowTitle(), box->text()});
        box->button(QMessageBox::Ok)->click();
    }

    QList<BoxSeen> seen_;
    QPointer<QMessageBox> answered_;
    QTimer poll_;
    QDeadlineTimer deadline_{20000};
};

template <class Control = QWidget>
Control* control(QWidget* dialog, int control_id) {
    for (auto* widget : dialog->findChildren<Control*>()) {
        if (widget->property("controlId").toInt() == control_id) return widget;
    }
    return nullptr;
}

}  // namespace

class SettingsDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void controlsCarryCaptionsIdsAndBuddies();
    void anUnknownLevelShowsTheThirdEntryAndIsWrittenInformational();
    void theLevelListEnablesTheLogFile();
    void anyAddressLeavesThePartsEmptyAndDisabled();
    void addressPartsAreWrittenAsTheirNumbers();
    void untickingWritesTheAnyAddress();
    void aBadAddressPartIsRefused_data();
    void aBadAddressPartIsRefused();
    void anEmptyLogFileIsRefusedWhileLogging();
    void theLogFileIsCutToItsName_data();
    void theLogFileIsCutToItsName();
    void numbersAtAndPastTheirLimits_data();
    void numbersAtAndPastTheirLimits();
    void autostartIsWrittenAndRemoved();
    void anUnwritableAutostartFolderShowsUntickedAndChangesNothing();
    void aLostWriteIsReportedAndTheDialogCloses();
    void cancelWritesNothing();
    void screenshots();

  private:
    SettingsDialog* open(const Global& global);
    QLineEdit* edit(int control_id) { return control<QLineEdit>(dialog_.get(), control_id); }
    void retype(int control_id, const QString& text);
    void click(int control_id) {
        QTest::mouseClick(control(dialog_.get(), control_id), Qt::LeftButton);
    }
    // Clicks OK and expects one error box with `text`, the dialog still open, `focus`
    // focused and the file unchanged.
    void expect_refusal(const QString& text, int focus, const Global& unchanged);

    QTemporaryDir temp_;
    QString config_;
    QString program_;
    std::unique_ptr<common::ProfileStore> store_;
    std::unique_ptr<SettingsDialog> dialog_;
};

void SettingsDialogTest::initTestCase() {
    QVERIFY(temp_.isValid());
    QVERIFY(install_language("us"));
    program_ = temp_.filePath("program folder with blanks");
    QVERIFY(QDir().mkpath(program_));
    config_ = temp_.filePath("KestoFTP.ini");
}

void SettingsDialogTest::init() {
    QFile::remove(config_);
    QDir(temp_.filePath("xdg")).removeRecursively();
    qputenv("XDG_CONFIG_DIRS", (temp_.filePath("xdg") + ":/etc/xdg").toUtf8());
}

void SettingsDialogTest::cleanup() {
    dialog_.reset();
    store_.reset();
}

SettingsDialog* SettingsDialogTest::open(const Global& global) {
    if (!put_file(config_, global.file())) return nullptr;
    store_ = std::make_unique<common::ProfileStore>(config_.toStdString());
    if (file_bytes(config_) != global.file()) return nullptr;  // the store's probe left no trace
    dialog_ = std::make_unique<SettingsDialog>(*store_, program_.toStdString());
    dialog_->show();
    dialog_->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog_.get())) return nullptr;
    return dialog_.get();
}

void SettingsDialogTest::retype(int control_id, const QString& text) {
    QLineEdit* field = edit(control_id);
    field->clear();
    QTest::keyClicks(field, text);
}

void SettingsDialogTest::expect_refusal(const QString& text, int focus, const Global& unchanged) {
    BoxAnswerer answerer;
    click(id::kOk);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, text);
    QCOMPARE(answerer.seen()[0].caption, text_of(msg::kErrorCaption));
    QVERIFY(dialog_->isVisible());
    QCOMPARE(dialog_->focusWidget(), control(dialog_.get(), focus));
    QCOMPARE(file_bytes(config_), unchanged.file());
}

void SettingsDialogTest::controlsCarryCaptionsIdsAndBuddies() {
    QVERIFY(open({}));
    QCOMPARE(dialog_->windowTitle(), text_of(msg::kSettingsCaption));
    QVERIFY(dialog_->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(control<QGroupBox>(dialog_.get(), id::kGroup)->title(), text_of(msg::kSettingsGroup));
    const std::pair<int, int> labelled[] = {{id::kLogLevel, msg::kLogLevelLabel},
                                            {id::kLogFile, msg::kLogFileLabel},
                                            {id::kPort, msg::kPortLabel},
                                            {id::kIdleTimeout, msg::kIdleTimeoutLabel},
                                            {id::kDataTimeout, msg::kDataTimeoutLabel},
                                            {id::kAddressPart1, msg::kAddressLabel}};
    const auto labels = dialog_->findChildren<QLabel*>();
    for (const auto& [field_id, message] : labelled) {
        QWidget* field = control(dialog_.get(), field_id);
        const auto label = std::find_if(labels.begin(), labels.end(),
                                        [field](QLabel* l) { return l->buddy() == field; });
        QVERIFY2(label != labels.end(), qPrintable(QString::number(field_id)));
        QCOMPARE((*label)->text(), text_of(message));
    }
    QCOMPARE(control<QLabel>(dialog_.get(), id::kLogLevelLabel)->text(),
             text_of(msg::kLogLevelLabel));
    QCOMPARE(control<QLabel>(dialog_.get(), id::kLogFileLabel)->text(),
             text_of(msg::kLogFileLabel));
    QCOMPARE(control<QLabel>(dialog_.get(), id::kAddressLabel)->text(),
             text_of(msg::kAddressLabel));
    auto* level = control<QComboBox>(dialog_.get(), id::kLogLevel);
    QCOMPARE(level->count(), 3);
    QCOMPARE(level->itemText(0), text_of(msg::kLogLevelNone));
    QCOMPARE(level->itemText(1), text_of(msg::kLogLevelFatal));
    QCOMPARE(level->itemText(2), text_of(msg::kLogLevelInformational));
    QCOMPARE(control<QCheckBox>(dialog_.get(), id::kAutostart)->text(), text_of(msg::kAutostart));
    QCOMPARE(control<QCheckBox>(dialog_.get(), id::kSpecificAddress)->text(),
             text_of(msg::kSpecificAddress));
    for (int part = id::kAddressPart1; part < id::kAddressPart1 + 4; ++part) {
        QCOMPARE(edit(part)->maxLength(), 3);
        QVERIFY(edit(part)->alignment().testFlag(Qt::AlignRight));
    }
    auto* ok = control<QPushButton>(dialog_.get(), id::kOk);
    QVERIFY(ok->isDefault());
    QCOMPARE(ok->text(), text_of(msg::kOk));
    QCOMPARE(control<QPushButton>(dialog_.get(), id::kCancel)->text(), text_of(msg::kCancel));
    QCOMPARE(edit(id::kPort)->text(), QString("21"));
    QCOMPARE(edit(id::kIdleTimeout)->text(), QString("900"));
    QCOMPARE(edit(id::kDataTimeout)->text(), QString("60"));

    // Only digits can be typed into an address part.
    click(id::kSpecificAddress);
    retype(id::kAddressPart1, "1a-2");
    QCOMPARE(edit(id::kAddressPart1)->text(), QString("12"));
}

void SettingsDialogTest::anUnknownLevelShowsTheThirdEntryAndIsWrittenInformational() {
    Global global;
    global.level = "EXTREME";
    QVERIFY(open(global));
    QCOMPARE(control<QComboBox>(dialog_.get(), id::kLogLevel)->currentIndex(), 2);
    QVERIFY(edit(id::kLogFile)->isEnabled());
    click(id::kOk);
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    global.level = "INFORMATIONAL";
    QCOMPARE(file_bytes(config_), global.file());
}

void SettingsDialogTest::theLevelListEnablesTheLogFile() {
    Global global;
    global.level = "fatal";
    QVERIFY(open(global));
    auto* level = control<QComboBox>(dialog_.get(), id::kLogLevel);
    QLabel* label = control<QLabel>(dialog_.get(), id::kLogFileLabel);
    QCOMPARE(level->currentIndex(), 1);
    QVERIFY(edit(id::kLogFile)->isEnabled() && label->isEnabled());
    level->setCurrentIndex(0);
    QVERIFY(!edit(id::kLogFile)->isEnabled() && !label->isEnabled());
    level->setCurrentIndex(2);
    QVERIFY(edit(id::kLogFile)->isEnabled() && label->isEnabled());
}

void SettingsDialogTest::anyAddressLeavesThePartsEmptyAndDisabled() {
    for (const QByteArray stored : {"0.0.0.0", "255.255.255.255", "no address"}) {
        Global global;
        global.address = stored;
        QVERIFY(open(global));
        QVERIFY(!control<QCheckBox>(dialog_.get(), id::kSpecificAddress)->isChecked());
        QVERIFY(!control(dialog_.get(), id::kAddressLabel)->isEnabled());
        for (int part = id::kAddressPart1; part < id::kAddressPart1 + 4; ++part) {
            QVERIFY(edit(part)->text().isEmpty());
            QVERIFY(!edit(part)->isEnabled());
        }
        click(id::kOk);
        global.address = "0.0.0.0";
        QCOMPARE(file_bytes(config_), global.file());
    }
}

void SettingsDialogTest::addressPartsAreWrittenAsTheirNumbers() {
    Global global;
    QVERIFY(open(global));
    click(id::kSpecificAddress);
    QVERIFY(edit(id::kAddressPart1)->isEnabled());
    QVERIFY(control(dialog_.get(), id::kAddressLabel)->isEnabled());
    const char* parts[] = {"192", "168", "001", "10"};
    for (int i = 0; i < 4; ++i) retype(id::kAddressPart1 + i, parts[i]);
    click(id::kOk);
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    global.address = "192.168.1.10";
    QCOMPARE(file_bytes(config_), global.file());

    // Read back the way the system reads it ("10.1" is 10.0.0.1).
    global.address = "10.1";
    QVERIFY(open(global));
    QVERIFY(control<QCheckBox>(dialog_.get(), id::kSpecificAddress)->isChecked());
    QCOMPARE(edit(id::kAddressPart1)->text(), QString("10"));
    QCOMPARE(edit(id::kAddressPart1 + 3)->text(), QString("1"));
}

void SettingsDialogTest::untickingWritesTheAnyAddress() {
    Global global;
    global.address = "10.20.30.40";
    QVERIFY(open(global));
    QVERIFY(control<QCheckBox>(dialog_.get(), id::kSpecificAddress)->isChecked());
    QCOMPARE(edit(id::kAddressPart1 + 1)->text(), QString("20"));
    retype(id::kAddressPart1 + 2, "999");  // ignored once the box is unticked
    click(id::kSpecificAddress);
    QVERIFY(!edit(id::kAddressPart1)->isEnabled());
    click(id::kOk);
    global.address = "0.0.0.0";
    QCOMPARE(file_bytes(config_), global.file());
}

void SettingsDialogTest::aBadAddressPartIsRefused_data() {
    QTest::addColumn<int>("part");
    QTest::addColumn<QString>("typed");
    QTest::newRow("256 in the second part") << 1 << "256";
    QTest::newRow("an empty last part") << 3 << "";
}

void SettingsDialogTest::aBadAddressPartIsRefused() {
    QFETCH(int, part);
    QFETCH(QString, typed);
    Global global;
    global.address = "10.20.30.40";
    QVERIFY(open(global));
    retype(id::kAddressPart1 + part, typed);
    retype(id::kAddressPart1 + 2, "300");  // a later bad part is not reached first
    if (part == 3) retype(id::kAddressPart1 + 2, "30");
    expect_refusal(text_of(msg::kAddressInvalid), id::kAddressPart1 + part, global);
    QVERIFY(edit(id::kAddressPart1 + part)->text().isEmpty());
}

void SettingsDialogTest::anEmptyLogFileIsRefusedWhileLogging() {
    Global global;
    global.level = "FATAL";
    QVERIFY(open(global));
    retype(id::kLogFile, "\"  \"");  // nothing is left once blanks and quotes are cut
    expect_refusal(text_of(msg::kLogFileEmpty), id::kLogFile, global);
}

void SettingsDialogTest::theLogFileIsCutToItsName_data() {
    QTest::addColumn<QByteArray>("level");
    QTest::addColumn<QString>("typed");
    QTest::newRow("a Windows path") << QByteArray("FATAL") << R"(C:\logs\ftp.log)";
    QTest::newRow("a Linux path") << QByteArray("INFORMATIONAL") << "/var/log/ftp.log";
    QTest::newRow("quoted") << QByteArray("FATAL") << R"("ftp.log")";
}

void SettingsDialogTest::theLogFileIsCutToItsName() {
    QFETCH(QByteArray, level);
    QFETCH(QString, typed);
    Global global;
    global.level = level;
    QVERIFY(open(global));
    retype(id::kLogFile, typed);
    click(id::kOk);
    global.log_file = "ftp.log";
    QCOMPARE(file_bytes(config_), global.file());

    // Saved even while logging is off and the field is disabled.
    global.log_file = "/var/log/ftp.log";
    QVERIFY(open(global));
    control<QComboBox>(dialog_.get(), id::kLogLevel)->setCurrentIndex(0);
    QVERIFY(!edit(id::kLogFile)->isEnabled());
    click(id::kOk);
    global.level = "NONE";
    global.log_file = "ftp.log";
    QCOMPARE(file_bytes(config_), global.file());
}

void SettingsDialogTest::numbersAtAndPastTheirLimits_data() {
    QTest::addColumn<int>("field");
    QTest::addColumn<QString>("typed");
    QTest::addColumn<bool>("taken");
    const auto add = [](const char* name, int field, const settings::NumberKey& key) {
        const QString low = QString::number(key.low);
        const QString high = QString::number(key.high);
        QTest::addRow("%s at its lowest", name) << field << low << true;
        QTest::addRow("%s at its highest", name) << field << high << true;
        QTest::addRow("%s below", name) << field << QString::number(key.low - 1) << false;
        QTest::addRow("%s above", name) << field << QString::number(key.high + 1) << false;
    };
    add("port", id::kPort, settings::kSystemPort);
    add("idle", id::kIdleTimeout, settings::kIdleTimeout);
    add("data", id::kDataTimeout, settings::kDataTimeout);
    QTest::newRow("port not a number") << int(id::kPort) << "80x" << false;
    QTest::newRow("data time-out empty") << int(id::kDataTimeout) << "" << false;
}

void SettingsDialogTest::numbersAtAndPastTheirLimits() {
    QFETCH(int, field);
    QFETCH(QString, typed);
    QFETCH(bool, taken);
    Global global;
    QVERIFY(open(global));
    retype(field, typed);
    if (!taken) {
        const settings::NumberKey& key = field == id::kPort          ? settings::kSystemPort
                                         : field == id::kIdleTimeout ? settings::kIdleTimeout
                                                                     : settings::kDataTimeout;
        const int message = field == id::kPort          ? msg::kPortOutOfRange
                            : field == id::kIdleTimeout ? msg::kIdleTimeoutOutOfRange
                                                        : msg::kDataTimeoutOutOfRange;
        const QString text =
            QString::fromStdString(common::fill(common::message(message), {key.low, key.high}));
        QVERIFY(text.contains(QString::number(key.high)));
        expect_refusal(text, field, global);
        return;
    }
    click(id::kOk);
    QByteArray& value = field == id::kPort          ? global.port
                        : field == id::kIdleTimeout ? global.idle
                                                    : global.data;
    value = typed.toUtf8();
    QCOMPARE(file_bytes(config_), global.file());
}

void SettingsDialogTest::autostartIsWrittenAndRemoved() {
    const QString entry = temp_.filePath("xdg/autostart/kesto-ftp-service.desktop");
    QVERIFY(open({}));
    auto* autostart = control<QCheckBox>(dialog_.get(), id::kAutostart);
    QVERIFY(!autostart->isChecked());
    click(id::kAutostart);
    click(id::kOk);
    QCOMPARE(file_bytes(entry), QByteArray::fromStdString(autostart_entry(program_.toStdString())));
    QVERIFY(file_bytes(entry).contains("Exec=\"" + program_.toUtf8() + "/kftpd\" \"" +
                                       program_.toUtf8() + "/cfg/KestoFTP.ini\"\n"));

    // Ticked when it names this program folder's server; OK writes it afresh.
    QVERIFY(QFile::remove(entry));
    QVERIFY(put_file(entry, QByteArray::fromStdString(autostart_entry(program_.toStdString()))));
    QVERIFY(open({}));
    QVERIFY(control<QCheckBox>(dialog_.get(), id::kAutostart)->isChecked());
    QVERIFY(put_file(entry, "[Desktop Entry]\nExec=\"" + program_.toUtf8() + "/kftpd\"\n"));
    click(id::kOk);
    QCOMPARE(file_bytes(entry), QByteArray::fromStdString(autostart_entry(program_.toStdString())));

    // Another folder's server is not ours; unticking removes the entry.
    QVERIFY(put_file(entry, "[Desktop Entry]\nExec=\"/opt/other/kftpd\"\n"));
    QVERIFY(open({}));
    QVERIFY(!control<QCheckBox>(dialog_.get(), id::kAutostart)->isChecked());
    QVERIFY(put_file(entry, QByteArray::fromStdString(autostart_entry(program_.toStdString()))));
    QVERIFY(open({}));
    click(id::kAutostart);
    click(id::kOk);
    QVERIFY(!QFile::exists(entry));
}

void SettingsDialogTest::anUnwritableAutostartFolderShowsUntickedAndChangesNothing() {
    QVERIFY(put_file(temp_.filePath("plain"), "a file, not a folder"));
    qputenv("XDG_CONFIG_DIRS", temp_.filePath("plain/xdg").toUtf8());
    Global global;
    QVERIFY(open(global));
    auto* autostart = control<QCheckBox>(dialog_.get(), id::kAutostart);
    QVERIFY(!autostart->isChecked());
    click(id::kAutostart);
    QVERIFY(autostart->isChecked());
    BoxAnswerer answerer;
    click(id::kOk);
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    QVERIFY(answerer.seen().isEmpty());
    QCOMPARE(file_bytes(config_), global.file());
    QCOMPARE(file_bytes(temp_.filePath("plain")), QByteArray("a file, not a folder"));
}

void SettingsDialogTest::aLostWriteIsReportedAndTheDialogCloses() {
    // A store whose folder is missing: every write is lost.
    store_ = std::make_unique<common::ProfileStore>(
        temp_.filePath("missing/KestoFTP.ini").toStdString());
    dialog_ = std::make_unique<SettingsDialog>(*store_, program_.toStdString());
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowActive(dialog_.get()));
    BoxAnswerer answerer;
    click(id::kOk);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, text_of(msg::kSettingsNotSaved));
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    QVERIFY(!dialog_->isVisible());
}

void SettingsDialogTest::cancelWritesNothing() {
    Global global;
    QVERIFY(open(global));
    retype(id::kPort, "2121");
    click(id::kAutostart);
    click(id::kCancel);
    QCOMPARE(dialog_->result(), int(QDialog::Rejected));
    QCOMPARE(file_bytes(config_), global.file());
    QVERIFY(!QFile::exists(temp_.filePath("xdg/autostart/kesto-ftp-service.desktop")));
}

// With KESTO_SCREENSHOT_DIR set: the dialog with a specific address and logging on, in
// English and in German.
void SettingsDialogTest::screenshots() {
    const QByteArray folder = qgetenv("KESTO_SCREENSHOT_DIR");
    if (folder.isEmpty()) QSKIP("KESTO_SCREENSHOT_DIR is not set");
    Global global;
    global.address = "192.168.10.20";
    global.level = "INFORMATIONAL";
    global.port = "2121";
    for (const char* language : {"us", "de"}) {
        QVERIFY(install_language(language));
        QVERIFY(open(global));
        const QString name = QString(language) == "us" ? "settings_dialog" : "settings_dialog_de";
        QVERIFY(dialog_->grab().save(QString::fromUtf8(folder) + "/" + name + ".png"));
    }
    QVERIFY(install_language("us"));
}

}  // namespace kesto::manager

QTEST_MAIN(kesto::manager::SettingsDialogTest)
#include "settings_dialog_test.moc"
