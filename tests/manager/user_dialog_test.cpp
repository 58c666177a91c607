// The account editor driven as a user drives it, on Qt's offscreen platform: typed
// keys, clicks, every message box answered, the focus after each refusal and the values
// handed back. The English catalogue the program ships is installed; the configuration
// is a temporary file, and browsing loads a stand-in chooser from a private program
// folder's DLL/.
#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QGroupBox>
#include <QImage>
#include <QLabel>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QWhatsThis>
#include <QtTest>
#include <functional>
#include <memory>
#include <string>

#include "common/catalogue.h"
#include "common/file_helpers.h"
#include "common/library_init.h"
#include "common/message_numbers.h"
#include "common/profile_store.h"
#include "common/qt/message_boxes.h"
#include "common/text_helpers.h"
#include "dialog_test_support.h"
#include "manager/labelled_combo_box.h"
#include "manager/labelled_edit.h"
#include "manager/user_dialog.h"

namespace kesto::manager {
namespace {

using namespace kesto::manager::test;

namespace id = editor_control;

// The catalogue's text, as the dialogs show it.
constexpr auto text_of = &common::catalogue_text;

// A message box as the user saw it.
struct BoxSeen {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the message boxes that open while it lives, in turn, with the given buttons
// (a box past the list is closed with No or OK) and records each. Past a deadline every
// modal window is closed, so a dialog that loops fails the test instead of hanging it.
class BoxAnswerer {
  public:
    explicit BoxAnswerer(QList<QMessageBox::StandardButton> answers = {},
                         std::function<void(QMessageBox*)> look = {})
        : answers_(std::move(answers)), look_(std::move(look)) {
        QObject::connect(&poll_, &QTimer::timeout, [this] { answer(); });
        poll_.start(10);
    }
    [[nodiscard]] const QList<BoxSeen>& seen() const { return seen_; }

  private:
    void answer() {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (deadline_.hasExpired()) {
            while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                modal->reject();
        }
        if (box == nullptr || !box->isVisible() || box == answered_) return;
        answered_ = box;
        seen_.append({box->windowTitle(), box->text(), box->icon()});
        if (look_) look_(box);
        const QMessageBox::StandardButton button =
            answers_.isEmpty() ? QMessageBox::NoButton : answers_.takeFirst();
        QAbstractButton* pressed = box->button(button);
        if (pressed == nullptr) pressed = box->button(QMessageBox::No);
        if (pressed == nullptr) pressed = box->button(QMessageBox::Ok);
        pressed->click();
    }

    QList<QMessageBox::StandardButton> answers_;
    std::function<void(QMessageBox*)> look_;
    QList<BoxSeen> seen_;
    QPointer<QMessageBox> answered_;
    QTimer poll_;
    QDeadlineTimer deadline_{20000};
};

// expect_refusal, ending the test at its first failure.
#define EXPECT_REFUSAL(...)                     \
    do {                                        \
        expect_refusal(__VA_ARGS__);            \
        if (QTest::currentTestFailed()) return; \
    } while (false)

template <class Control = QWidget>
Control* control(QWidget* dialog, int control_id) {
    for (auto* widget : dialog->findChildren<Control*>()) {
        if (widget->property("controlId").toInt() == control_id) return widget;
    }
    return nullptr;
}

// Qt's "What's This?" pop-up is on the screen.
bool whats_this_shown() {
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget* window) {
        return window->inherits("QWhatsThat") && window->isVisible();
    });
}

// Whether the shown pop-up shows `text`: its text area compared, pixel for pixel, with
// that of a pop-up Qt shows for `text`.
bool popup_shows(const QString& text) {
    const auto shown_popup = [] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window->inherits("QWhatsThat") && window->isVisible()) return window;
        }
        return static_cast<QWidget*>(nullptr);
    };
    // The frame and drop shadow (which shows what lies behind) are cut off.
    const auto text_area = [](QWidget* popup) {
        const QImage image = popup->grab().toImage();
        return image.copy(image.rect().adjusted(2, 2, -8, -8));
    };
    QWidget* popup = shown_popup();
    if (popup == nullptr) return false;
    const QImage shown = text_area(popup);
    QWhatsThis::showText(QPoint(0, 0), text);
    QWidget* reference = shown_popup();
    return reference != nullptr && text_area(reference) == shown;
}

// The fields as typed; the other controls keep what the dialog opened with.
struct Typed {
    QString name;
    QString password = "secret";
    QString folder = "/";
};

}  // namespace

class UserDialogTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void controlsCarryCaptionsIdsBuddiesAndTabOrder();
    void mnemonicsAreUniqueInEveryLanguage();
    void aClashingMnemonicIsGivenUp();
    void labelledControlsTakeTheirLabelsAlong();
    void acceptsAndHandsBackTheCleanedValues();
    void viaExecTheCallerGetsAccepted();
    void nameRefusalsKeepTheDialogOpen();
    void takenNamesAreRefused();
    void theAccountListMustKeepItsLength();
    void passwordRefusals();
    void folderIsNormalised_data();
    void folderIsNormalised();
    void folderRefusals();
    void missingFolderIsCreatedOnYes();
    void aFolderThatCannotBeCreatedIsReported();
    void browsingPutsTheChosenFolderInTheField();
    void helpAnswersF1();
    void screenshots();

  private:
    // Opens the editor on `values`, shown and active.
    UserDialog* open(AccountValues values = {});
    // Types into the three fields and clicks OK.
    void submit(const Typed& typed);
    // Submits and expects one error box with `text`, the dialog open and `focus` focused.
    void expect_refusal(const Typed& typed, const QString& text, int focus);
    void write_users(const std::string& users);

    QTemporaryDir temp_;
    QString config_;
    std::unique_ptr<common::ProfileStore> store_;
    std::unique_ptr<UserDialog> dialog_;
};

void UserDialogTest::initTestCase() {
    QVERIFY(temp_.isValid());
    QVERIFY(install_language("us"));
    // A program folder whose DLL/ holds the stand-in chooser.
    QVERIFY(QDir(temp_.path()).mkpath("program/DLL"));
    QVERIFY(QFile::copy(KESTO_FAKE_WAYFINDER, temp_.filePath("program/DLL/Wayfinder.so")));
    common::library_context().program_folder = temp_.filePath("program").toStdString();
    config_ = temp_.filePath("KestoFTP.ini");
}

void UserDialogTest::init() {
    QFile::remove(config_);
    store_ = std::make_unique<common::ProfileStore>(config_.toStdString());
    write_users("bob,alice");
}

void UserDialogTest::cleanup() {
    QWhatsThis::hideText();
    dialog_.reset();
    store_.reset();
}

void UserDialogTest::write_users(const std::string& users) {
    store_->write_text("USERLIST", "USERS", users);
}

UserDialog* UserDialogTest::open(AccountValues values) {
    dialog_ = std::make_unique<UserDialog>(std::move(values), *store_);
    dialog_->show();
    dialog_->activateWindow();
    if (!QTest::qWaitForWindowActive(dialog_.get())) return nullptr;
    return dialog_.get();
}

void UserDialogTest::submit(const Typed& typed) {
    const std::pair<int, QString> fields[] = {
        {id::kName, typed.name}, {id::kPassword, typed.password}, {id::kFolder, typed.folder}};
    for (const auto& [field_id, text] : fields) {
        auto* field = control<QLineEdit>(dialog_.get(), field_id);
        field->clear();
        QTest::keyClicks(field, text);
    }
    QTest::mouseClick(control(dialog_.get(), id::kOk), Qt::LeftButton);
}

void UserDialogTest::expect_refusal(const Typed& typed, const QString& text, int focus) {
    BoxAnswerer answerer;
    submit(typed);
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].text, text);
    QCOMPARE(answerer.seen()[0].caption, text_of(msg::kErrorCaption));
    QCOMPARE(answerer.seen()[0].icon, QMessageBox::Critical);
    QVERIFY(dialog_->isVisible());
    QWidget* field = control(dialog_.get(), focus);
    QCOMPARE(dialog_->focusWidget(), field);
    // The offscreen platform has no window manager to hand the activation back once the
    // box has gone; a desktop does, and the field then has the keyboard.
    dialog_->activateWindow();
    QTRY_COMPARE(QApplication::focusWidget(), field);
}

void UserDialogTest::controlsCarryCaptionsIdsBuddiesAndTabOrder() {
    QVERIFY(open());
    QCOMPARE(dialog_->windowTitle(), text_of(msg::kAddAccountCaption));
    QVERIFY(dialog_->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QCOMPARE(control<QGroupBox>(dialog_.get(), id::kAccountGroup)->title(),
             text_of(msg::kAccountGroup));
    const std::pair<int, int> labelled[] = {{id::kName, msg::kNameLabel},
                                            {id::kPassword, msg::kPasswordLabel},
                                            {id::kListingStyle, msg::kListingStyleLabel},
                                            {id::kFolder, msg::kHomeFolderLabel}};
    for (const auto& [field_id, message] : labelled) {
        QWidget* field = control(dialog_.get(), field_id);
        const auto labels = dialog_->findChildren<QLabel*>();
        const auto label = std::find_if(labels.begin(), labels.end(),
                                        [field](QLabel* l) { return l->buddy() == field; });
        QVERIFY2(label != labels.end(), qPrintable(QString::number(field_id)));
        QCOMPARE((*label)->text(), text_of(message));
    }
    auto* style = control<QComboBox>(dialog_.get(), id::kListingStyle);
    QCOMPARE(style->count(), 4);
    QCOMPARE(style->itemText(1), QString("WINDOWS"));
    QCOMPARE(style->itemText(3), QString("UNKNOWN"));
    QCOMPARE(control<QCheckBox>(dialog_.get(), id::kConfined)->text(), text_of(msg::kConfinedFlag));
    QCOMPARE(control<QCheckBox>(dialog_.get(), id::kReadOnly)->text(), text_of(msg::kReadOnlyFlag));
    QCOMPARE(control<QCheckBox>(dialog_.get(), id::kDesktop)->text(), text_of(msg::kDesktopFlag));
    auto* ok = control<QPushButton>(dialog_.get(), id::kOk);
    QVERIFY(ok->isDefault());
    QCOMPARE(ok->text(), text_of(msg::kOk));
    QCOMPARE(control<QPushButton>(dialog_.get(), id::kCancel)->text(), text_of(msg::kCancel));
    auto* browse = control<QPushButton>(dialog_.get(), id::kBrowse);
    QVERIFY(browse->text().isEmpty());
    QVERIFY(!browse->icon().isNull());
    QCOMPARE(browse->accessibleName(), text_of(msg::kBrowseFolder));
    QCOMPARE(browse->toolTip(), text_of(msg::kBrowseFolder));

    // The keyboard alone walks the fields in their order, starting at the name.
    const int order[] = {id::kName,   id::kPassword, id::kListingStyle, id::kFolder,
                         id::kBrowse, id::kConfined, id::kReadOnly,     id::kDesktop,
                         id::kOk,     id::kCancel,   id::kName};
    QTRY_COMPARE(QApplication::focusWidget(), control(dialog_.get(), order[0]));
    for (std::size_t i = 1; i < std::size(order); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), control(dialog_.get(), order[i]));
    }

    QVERIFY(open({"bob", "pw", "/srv", ListingStyle::okuma, true, false, true}));
    QCOMPARE(dialog_->windowTitle(), text_of(msg::kEditAccountCaption));
    QCOMPARE(control<QLineEdit>(dialog_.get(), id::kName)->text(), QString("bob"));
    QCOMPARE(control<QLineEdit>(dialog_.get(), id::kFolder)->text(), QString("/srv"));
    QCOMPARE(control<QComboBox>(dialog_.get(), id::kListingStyle)->currentText(), QString("OKUMA"));
    QVERIFY(control<QCheckBox>(dialog_.get(), id::kConfined)->isChecked());
    QVERIFY(!control<QCheckBox>(dialog_.get(), id::kReadOnly)->isChecked());
    QVERIFY(control<QCheckBox>(dialog_.get(), id::kDesktop)->isChecked());
}

void UserDialogTest::mnemonicsAreUniqueInEveryLanguage() {
    for (const char* language : {"us", "de", "fr", "sp", "it"}) {
        QVERIFY(install_language(language));
        UserDialog dialog({}, *store_);
        QSet<QKeySequence> keys;
        int captions = 0;
        for (QWidget* widget : dialog.findChildren<QWidget*>()) {
            QString text;
            if (auto* label = qobject_cast<QLabel*>(widget)) text = label->text();
            if (auto* button = qobject_cast<QAbstractButton*>(widget)) text = button->text();
            const QKeySequence key = QKeySequence::mnemonic(text);
            if (key.isEmpty()) continue;
            ++captions;
            QVERIFY2(!keys.contains(key), qPrintable(QString(language) + ": " + text));
            keys.insert(key);
        }
        QCOMPARE(captions, 7);  // four labels, three check boxes; OK and Cancel have none
    }
    QVERIFY(install_language("us"));
}

// A translation whose password label takes the name label's key: the later caption
// gives its mnemonic up, and the label still names its field.
void UserDialogTest::aClashingMnemonicIsGivenUp() {
    std::map<std::uint32_t, std::string> texts;
    for (int number : msg::kMessagesInUse) texts[number] = common::message(number);
    texts[msg::kPasswordLabel] = "&New password:";
    texts[msg::kConfinedFlag] = "Restrict to the home folder (&n)";
    QFile file(temp_.filePath("clash.bin"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    const std::string image = common::encode_catalogue(texts);
    file.write(image.data(), static_cast<qint64>(image.size()));
    file.close();
    QVERIFY(common::load_catalogue(file.fileName().toStdString()) > 0);
    QVERIFY(open());
    QVERIFY(install_language("us"));
    auto* password = control<LabelledEdit>(dialog_.get(), id::kPassword);
    QCOMPARE(password->label()->text(), QString("New password:"));
    QCOMPARE(password->label()->buddy(), password);
    QCOMPARE(control<QCheckBox>(dialog_.get(), id::kConfined)->text(),
             QString("Restrict to the home folder (n)"));
    QCOMPARE(control<LabelledEdit>(dialog_.get(), id::kName)->label()->text(),
             text_of(msg::kNameLabel));
}

void UserDialogTest::labelledControlsTakeTheirLabelsAlong() {
    QWidget parent;
    auto* edit_label = new QLabel("before", &parent);
    auto* edit = new LabelledEdit(&parent);
    auto* box_label = new QLabel("box", &parent);
    auto* box = new LabelledComboBox(&parent);
    auto* unlabelled = new LabelledEdit(&parent);  // follows a combo box, not a label
    parent.show();

    edit->setEnabled(false);  // no label set through it yet: the label stays as it is
    QVERIFY(edit_label->isEnabled());
    edit->set_label(99999, false);  // no such catalogue text: nothing happens
    QCOMPARE(edit_label->text(), QString("before"));
    QVERIFY(edit->label() == nullptr);
    edit->set_label(msg::kNameLabel, true);
    QCOMPARE(edit_label->text(), text_of(msg::kNameLabel).remove('&'));
    QCOMPARE(edit_label->buddy(), edit);
    edit->setEnabled(true);
    edit->setEnabled(false);
    QVERIFY(!edit_label->isEnabled());
    edit->hide();
    QVERIFY(edit_label->isHidden());
    edit->show();
    QVERIFY(edit_label->isVisible());

    box->setEnabled(false);  // a combo box's label follows it from the start
    QVERIFY(!box_label->isEnabled());
    box->hide();
    QVERIFY(box_label->isHidden());
    box->set_label(msg::kListingStyleLabel, false);
    QCOMPARE(box_label->text(), text_of(msg::kListingStyleLabel));
    unlabelled->set_label(msg::kNameLabel, false);
    QVERIFY(unlabelled->label() == nullptr);

    edit->setText("typed");
    edit->setCursorPosition(2);
    edit->set_text_if_changed("typed");
    QCOMPARE(edit->cursorPosition(), 2);
    edit->set_text_if_changed("other");
    QCOMPARE(edit->text(), QString("other"));
}

void UserDialogTest::acceptsAndHandsBackTheCleanedValues() {
    const QByteArray before = file_bytes(config_);
    QVERIFY(open());
    QTest::keyClick(control(dialog_.get(), id::kListingStyle), Qt::Key_Down);
    QTest::mouseClick(control(dialog_.get(), id::kConfined), Qt::LeftButton);
    QTest::mouseClick(control(dialog_.get(), id::kDesktop), Qt::LeftButton);
    BoxAnswerer answerer;
    submit({" a,b ", "  pass word ", temp_.path() + "//program/"});
    QVERIFY(answerer.seen().isEmpty());
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    QVERIFY(!dialog_->isVisible());
    const AccountValues& values = dialog_->values();
    QCOMPARE(values.name, std::string("ab"));
    QCOMPARE(values.password, std::string("pass word"));
    QCOMPARE(values.folder, temp_.filePath("program").toStdString());
    QCOMPARE(values.listing_style, ListingStyle::windows);
    QVERIFY(values.confined);
    QVERIFY(!values.read_only);
    QVERIFY(values.desktop);
    QCOMPARE(control<QLineEdit>(dialog_.get(), id::kName)->text(), QString(" a,b "));
    QCOMPARE(file_bytes(config_), before);  // the editor only reads the configuration
}

void UserDialogTest::viaExecTheCallerGetsAccepted() {
    UserDialog dialog({"alice", "pw", "/", ListingStyle::unknown, false, true}, *store_);
    QTimer::singleShot(0, &dialog, [&dialog] {
        QTest::keyClicks(control(&dialog, id::kName), "x");
        QTest::keyClick(control(&dialog, id::kName), Qt::Key_Return);  // OK is the default
    });
    QCOMPARE(dialog.exec(), int(QDialog::Accepted));
    QCOMPARE(dialog.values().name, std::string("alicex"));
    QCOMPARE(dialog.values().listing_style, ListingStyle::unknown);
    QVERIFY(dialog.values().read_only);
    QVERIFY(!dialog.values().desktop);

    UserDialog cancelled({"alice", "pw", "/", ListingStyle::unknown, false, true}, *store_);
    QTimer::singleShot(0, &cancelled, [&cancelled] {
        QTest::keyClicks(control(&cancelled, id::kName), "x");
        QTest::keyClick(control(&cancelled, id::kName), Qt::Key_Escape);
    });
    QCOMPARE(cancelled.exec(), int(QDialog::Rejected));
    QCOMPARE(cancelled.values().name, std::string("alice"));
}

void UserDialogTest::nameRefusalsKeepTheDialogOpen() {
    QVERIFY(open());
    EXPECT_REFUSAL({" , "}, text_of(msg::kNameEmpty), id::kName);
    EXPECT_REFUSAL({QString(33, 'n')}, text_of(msg::kNameTooLong), id::kName);
    const QString bad_section = text_of(msg::kNameNotASectionName);
    EXPECT_REFUSAL({"mill]1"}, bad_section, id::kName);
    EXPECT_REFUSAL({"[mill"}, bad_section, id::kName);
    auto* name = control<QLineEdit>(dialog_.get(), id::kName);
    name->setText(
        "mill\x01"
        "1");  // pasted
    {
        BoxAnswerer answerer;
        QTest::mouseClick(control(dialog_.get(), id::kOk), Qt::LeftButton);
        QCOMPARE(answerer.seen().size(), 1);
        QCOMPARE(answerer.seen()[0].text, bad_section);
    }
    BoxAnswerer none;
    submit({QString(32, 'n'), "pw", "/"});
    QVERIFY(none.seen().isEmpty());
    QCOMPARE(dialog_->values().name, std::string(32, 'n'));
}

void UserDialogTest::takenNamesAreRefused() {
    write_users(" bob ,alice");
    QVERIFY(open());
    EXPECT_REFUSAL({"BOB", "pw", "/"}, text_of(msg::kNameTaken), id::kName);

    QVERIFY(open({"bob", "pw", "/", ListingStyle::unix_style, false, false}));
    EXPECT_REFUSAL({"Alice", "pw", "/"}, text_of(msg::kNameTaken), id::kName);
    BoxAnswerer none;
    submit({"Bob", "pw", "/"});  // its own name in another case
    QVERIFY(none.seen().isEmpty());
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    QCOMPARE(dialog_->values().name, std::string("Bob"));
}

void UserDialogTest::theAccountListMustKeepItsLength() {
    const QString full = common::fill(common::message(msg::kUserListFull), {4095}).c_str();
    write_users("bob," + std::string(4087, 'x'));  // 4,091 characters
    QVERIFY(open());
    EXPECT_REFUSAL({"carl", "pw", "/"}, full, id::kName);  // 4,091 + "," + 4 = 4,096
    QVERIFY(open({"bob", "pw", "/", ListingStyle::unix_style, false, false}));
    EXPECT_REFUSAL({"carl1234", "pw", "/"}, full, id::kName);
    BoxAnswerer none;
    submit({"carl123", "pw", "/"});  // bob's place freed: 4,087 + "," + 7 = 4,095
    QVERIFY(none.seen().isEmpty());
    QCOMPARE(dialog_->values().name, std::string("carl123"));
}

void UserDialogTest::passwordRefusals() {
    QVERIFY(open());
    EXPECT_REFUSAL({"carl", "   "}, text_of(msg::kPasswordEmpty), id::kPassword);
    QVERIFY(control<QLineEdit>(dialog_.get(), id::kPassword)->text().isEmpty());
    const QString too_long = common::fill(common::message(msg::kPasswordTooLong), {49}).c_str();
    EXPECT_REFUSAL({"carl", QString(50, 'p')}, too_long, id::kPassword);
    QCOMPARE(control<QLineEdit>(dialog_.get(), id::kPassword)->text(), QString(50, 'p'));
    BoxAnswerer none;
    submit({"carl", " " + QString(49, 'p') + " ", "/"});
    QVERIFY(none.seen().isEmpty());
    QCOMPARE(dialog_->values().password, std::string(49, 'p'));
}

void UserDialogTest::folderIsNormalised_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("stored");
    const QString temp = temp_.path();  // absolute, without a trailing '/'
    QTest::newRow("doubled and trailing slashes") << temp + "/data//ftp/" << temp + "/data/ftp";
    QTest::newRow("quoted, blank after") << "\"" + temp + "/srv/ftp\" " << temp + "/srv/ftp";
    QTest::newRow("backslashes, blank before") << " " + temp + "\\srv\\ftp\\" << temp + "/srv/ftp";
    QTest::newRow("the root") << "/"
                              << "/";
}

// A folder that does not exist is offered for creation; No still takes the account.
void UserDialogTest::folderIsNormalised() {
    QFETCH(QString, typed);
    QFETCH(QString, stored);
    QVERIFY(open());
    const bool exists = common::is_folder(stored.toStdString());
    BoxAnswerer answerer({QMessageBox::No});
    submit({"carl", "pw", typed});
    QCOMPARE(answerer.seen().size(), exists ? 0 : 1);
    if (!exists) QCOMPARE(answerer.seen()[0].text, text_of(msg::kCreateFolderQuestion));
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    QCOMPARE(dialog_->values().folder, stored.toStdString());
    QCOMPARE(common::is_folder(stored.toStdString()), exists);  // No created nothing
}

void UserDialogTest::folderRefusals() {
    QVERIFY(open());
    EXPECT_REFUSAL({"carl", "pw", " \"\" "}, text_of(msg::kFolderEmpty), id::kFolder);
    const QString too_long = common::fill(common::message(msg::kFolderTooLong), {1024}).c_str();
    EXPECT_REFUSAL({"carl", "pw", "/" + QString(1024, 'f')}, too_long, id::kFolder);
}

void UserDialogTest::missingFolderIsCreatedOnYes() {
    const QString folder = temp_.filePath("homes/carl");
    QVERIFY(open());
    BoxAnswerer answerer({QMessageBox::Yes});
    submit({"carl", "pw", folder});
    QCOMPARE(answerer.seen().size(), 1);
    QCOMPARE(answerer.seen()[0].caption, text_of(msg::kQuestionCaption));
    QCOMPARE(answerer.seen()[0].icon, QMessageBox::Warning);
    QVERIFY(common::is_folder(folder.toStdString()));
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
}

// A file where a folder of the path is expected: the failure is shown, the account taken.
void UserDialogTest::aFolderThatCannotBeCreatedIsReported() {
    QFile file(temp_.filePath("plain"));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    const std::string folder = temp_.filePath("plain/carl").toStdString();
    const unsigned code = common::make_folder(folder);
    QVERIFY(code != 0);
    QVERIFY(open());
    BoxAnswerer answerer({QMessageBox::Yes, QMessageBox::Ok});
    submit({"carl", "pw", QString::fromStdString(folder)});
    QCOMPARE(answerer.seen().size(), 2);
    QCOMPARE(answerer.seen()[1].text, text_of(msg::kFolderCreateFailed) + "!\n\n" + text_of(code));
    QCOMPARE(answerer.seen()[1].caption, text_of(msg::kErrorCaption));
    QCOMPARE(answerer.seen()[1].icon, QMessageBox::Critical);
    QCOMPARE(dialog_->result(), int(QDialog::Accepted));
    QCOMPARE(dialog_->values().folder, folder);
}

void UserDialogTest::browsingPutsTheChosenFolderInTheField() {
    QVERIFY(open({"bob", "pw", "/data", ListingStyle::unix_style, false, false}));
    auto* folder = control<QLineEdit>(dialog_.get(), id::kFolder);
    QTest::mouseClick(control(dialog_.get(), id::kBrowse), Qt::LeftButton);
    // The stand-in answers ' "\chosen//from<start>\" ': normalised on the way in.
    QCOMPARE(folder->text(), QString("/chosen/from/data"));

    // Without the library the field stays as it was (the loader reports the failure).
    const std::string program = common::library_context().program_folder;
    common::library_context().program_folder = temp_.filePath("nowhere").toStdString();
    QTest::mouseClick(control(dialog_.get(), id::kBrowse), Qt::LeftButton);
    common::library_context().program_folder = program;
    QCOMPARE(folder->text(), QString("/chosen/from/data"));
}

void UserDialogTest::helpAnswersF1() {
    QVERIFY(open());
    QWidget* browse = control(dialog_.get(), id::kBrowse);
    browse->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), browse);
    QTest::keyClick(browse, Qt::Key_F1);
    QTRY_VERIFY(whats_this_shown());
    QWhatsThis::hideText();
    QWidget* desktop = control(dialog_.get(), id::kDesktop);
    desktop->setFocus();
    QTRY_COMPARE(QApplication::focusWidget(), desktop);
    QTest::keyClick(desktop, Qt::Key_F1);
    QTRY_VERIFY(whats_this_shown());
    QVERIFY(popup_shows(text_of(msg::kHelpDesktopFlag)));
    QVERIFY(!popup_shows(text_of(msg::kHelpReadOnlyFlag)));
}

// Pictures for the documentation, written when KESTO_SCREENSHOT_DIR names a folder
// (run again with QT_SCALE_FACTOR=2 for the high-resolution look: names end in _200).
void UserDialogTest::screenshots() {
    const QString folder = qEnvironmentVariable("KESTO_SCREENSHOT_DIR");
    if (folder.isEmpty()) QSKIP("KESTO_SCREENSHOT_DIR is not set");
    const QString suffix = qEnvironmentVariableIsSet("QT_SCALE_FACTOR") ? "_200" : "";
    const AccountValues mill{"mill3", "Dr1ll-Press", "/srv/ftp/mill3", ListingStyle::okuma,
                             true,    false};
    QVERIFY(open(mill));
    QVERIFY(dialog_->grab().save(folder + "/user_dialog" + suffix + ".png"));
    {
        BoxAnswerer answerer({}, [folder, suffix](QMessageBox* box) {
            QVERIFY(box->grab().save(folder + "/user_dialog_refusal" + suffix + ".png"));
        });
        submit({"mill3", "   ", "/srv/ftp/mill3"});
        QCOMPARE(answerer.seen().size(), 1);
    }
    QVERIFY(install_language("de"));
    QVERIFY(open(mill));
    QVERIFY(dialog_->grab().save(folder + "/user_dialog_de" + suffix + ".png"));
    QVERIFY(install_language("us"));
}

}  // namespace kesto::manager

QTEST_MAIN(kesto::manager::UserDialogTest)
#include "user_dialog_test.moc"
