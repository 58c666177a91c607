// Context help and message boxes on real widgets, shown on Qt's offscreen platform.
#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QTimer>
#include <QVBoxLayout>
#include <QWhatsThis>
#include <QtTest>

#include "common/catalogue.h"
#include "common/error_report.h"
#include "common/qt/context_help.h"
#include "common/qt/message_boxes.h"

namespace kesto::common {
namespace {

constexpr int kNameId = 1001;
constexpr int kFolderId = 1002;
constexpr int kPortId = 1003;
constexpr int kNameHelp = 5001;
constexpr int kFolderHelp = 5002;
constexpr int kPortHelp = 5003;

// Qt's "What's This?" window, found among the top-level widgets while it is shown.
QWidget* shown_popup() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (widget->inherits("QWhatsThat") && widget->isVisible()) return widget;
    }
    return nullptr;
}

// The pop-up's text area as pixels: its frame and drop shadow (which shows the screen
// behind it) cut off, so two pop-ups compare equal exactly when they show the same text.
QImage text_area(QWidget* popup) {
    const QImage image = popup->grab().toImage();
    return image.copy(image.rect().adjusted(2, 2, -8, -8));
}

// Whether the shown pop-up shows `text`: compared with a pop-up Qt shows for it.
bool popup_shows(const QString& text) {
    QWidget* popup = shown_popup();
    if (popup == nullptr) return false;
    const QImage shown = text_area(popup);
    QWhatsThis::showText(QPoint(0, 0), text);
    QWidget* reference = shown_popup();
    return reference != nullptr && text_area(reference) == shown;
}

// Qt nudges a pop-up by a few pixels from the point it is given (frame, spacing).
bool near(int actual, int expected) {
    return actual >= expected && actual <= expected + 6;
}

// The box's caption, text and icon, and the button that answered it.
struct BoxSeen {
    QString caption;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
};

// Answers the next message box with `button` once it is shown.
void answer_next_box(QMessageBox::StandardButton button, BoxSeen* seen) {
    auto* poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, [poll, button, seen] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || !box->isVisible()) return;
        poll->stop();
        poll->deleteLater();
        *seen = {box->windowTitle(), box->text(), box->icon()};
        if (QAbstractButton* answer = box->button(button)) {
            answer->click();
        } else {
            box->done(-1);
        }
    });
    poll->start(10);
}

int general_help_calls = 0;

}  // namespace

class CommonQtTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void labelShowsItsBuddysText();
    void labelWithoutBuddyShowsTheNextFieldsText();
    void controlWithoutHelpRunsTheGeneralHelp();
    void helpBelowIsPlacedBelowTheControl();
    void f1ShowsTheFocusedFieldsText();
    void whatsThisClickOnALabelShowsItsFieldsText();
    void messageBoxesHaveCatalogueCaptions();
    void presentedErrorsBecomeErrorBoxes();

  private:
    HelpRequest control_request(QWidget* control) const {
        return {HelpContext::control, control_id_of(control), control, QPoint(5, 5)};
    }

    std::vector<HelpPair> pairs_{{kNameId, kNameHelp}, {kPortId, kPortHelp}};
    QDialog* dialog_ = nullptr;
    QLabel* name_label_ = nullptr;
    QLineEdit* name_ = nullptr;
    QLabel* port_label_ = nullptr;
    QLineEdit* port_ = nullptr;
    QLineEdit* folder_ = nullptr;
    QLabel* note_ = nullptr;
};

void CommonQtTest::initTestCase() {
    Catalogue catalogue;
    QVERIFY(Catalogue::parse(encode_catalogue({{677, "***"},
                                               {321, "Error"},
                                               {323, "Question"},
                                               {kNameHelp, "The account's name"},
                                               {kFolderHelp, "The home folder"},
                                               {kPortHelp, "The port number"}}),
                             catalogue));
    QVERIFY(install_catalogue(catalogue.table()));
    set_general_help_handler([] { ++general_help_calls; });
}

// A dialog in creation order: "Name" label with buddy, "Port" label without buddy, port
// field, name field, folder field (no pair), a closing note. The name label's buddy is
// not the widget after it, so only the buddy rule finds its text.
void CommonQtTest::init() {
    dialog_ = new QDialog;
    auto* layout = new QVBoxLayout(dialog_);
    name_label_ = new QLabel("Name", dialog_);
    port_label_ = new QLabel("Port", dialog_);
    install_context_help(dialog_, pairs_);  // the fields below come later: watched all the same
    port_ = new QLineEdit(dialog_);
    name_ = new QLineEdit(dialog_);
    name_label_->setBuddy(name_);
    folder_ = new QLineEdit(dialog_);
    note_ = new QLabel("Note", dialog_);
    name_->setProperty(kControlIdProperty, kNameId);
    port_->setProperty(kControlIdProperty, kPortId);
    folder_->setProperty(kControlIdProperty, kFolderId);
    for (QWidget* widget : {static_cast<QWidget*>(name_label_), static_cast<QWidget*>(name_),
                            static_cast<QWidget*>(port_label_), static_cast<QWidget*>(port_),
                            static_cast<QWidget*>(folder_), static_cast<QWidget*>(note_)}) {
        widget->setFixedSize(400, 60);  // wider and taller than a pop-up: Qt keeps its place
        layout->addWidget(widget);
    }
    dialog_->move(300, 20);  // room on the left for pop-ups centred on a field's edge
    dialog_->show();
    QVERIFY(QTest::qWaitForWindowExposed(dialog_));
    general_help_calls = 0;
}

void CommonQtTest::cleanup() {
    QWhatsThis::hideText();
    delete dialog_;
    dialog_ = nullptr;
    QTRY_VERIFY(shown_popup() == nullptr);
}

void CommonQtTest::labelShowsItsBuddysText() {
    QVERIFY(show_context_help(control_request(name_label_), pairs_));
    QWidget* popup = shown_popup();
    QVERIFY(popup != nullptr);
    const QPoint left_middle = name_->mapToGlobal(QPoint(0, name_->height() / 2));
    QVERIFY(near(popup->geometry().center().x(), left_middle.x()));  // Qt centres it there
    QVERIFY(near(popup->y(), left_middle.y()));
    QVERIFY(popup_shows("The account's name"));
    QVERIFY(!popup_shows("The port number"));  // the comparison tells texts apart
}

void CommonQtTest::labelWithoutBuddyShowsTheNextFieldsText() {
    QVERIFY(show_context_help(control_request(port_label_), pairs_));
    QVERIFY(popup_shows("The port number"));
}

void CommonQtTest::controlWithoutHelpRunsTheGeneralHelp() {
    QVERIFY(!show_context_help(control_request(note_), pairs_));  // no pair, no next widget
    QCOMPARE(general_help_calls, 1);
    QVERIFY(!show_context_help(control_request(folder_), pairs_));  // next has no pair
    QCOMPARE(general_help_calls, 2);
    QVERIFY(!show_context_help({HelpContext::general, 0, nullptr, {}}, pairs_));
    QCOMPARE(general_help_calls, 3);
    QVERIFY(!show_context_help({HelpContext::other, kNameId, name_, {}}, pairs_));
    QCOMPARE(general_help_calls, 3);
    QVERIFY(shown_popup() == nullptr);
}

void CommonQtTest::helpBelowIsPlacedBelowTheControl() {
    const QPoint mouse = port_->mapToGlobal(QPoint(200, 10));
    QVERIFY(!show_context_help({HelpContext::control_below, kFolderId, folder_, mouse}, pairs_));
    QVERIFY(shown_popup() == nullptr);

    QVERIFY(show_context_help({HelpContext::control_below, kPortId, port_, mouse}, pairs_));
    QWidget* popup = shown_popup();
    QVERIFY(popup != nullptr);
    const int bottom = port_->mapToGlobal(QPoint(0, port_->height())).y();
    QVERIFY(near(popup->y(), bottom + 15));
    QVERIFY(near(popup->geometry().center().x(), mouse.x()));
    QVERIFY(popup_shows("The port number"));
}

void CommonQtTest::f1ShowsTheFocusedFieldsText() {
    dialog_->activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(dialog_));
    name_->setFocus();
    QTRY_VERIFY(name_->hasFocus());
    QTest::keyClick(name_, Qt::Key_F1);
    QTRY_VERIFY(shown_popup() != nullptr);
    QVERIFY(popup_shows("The account's name"));
}

void CommonQtTest::whatsThisClickOnALabelShowsItsFieldsText() {
    QVERIFY(dialog_->windowFlags().testFlag(Qt::WindowContextHelpButtonHint));
    QHelpEvent query(QEvent::QueryWhatsThis, QPoint(1, 1), port_label_->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(port_label_, &query);
    QVERIFY(query.isAccepted());
    QHelpEvent no_help(QEvent::QueryWhatsThis, QPoint(1, 1), note_->mapToGlobal(QPoint(1, 1)));
    QApplication::sendEvent(note_, &no_help);
    QVERIFY(!no_help.isAccepted());

    QWhatsThis::enterWhatsThisMode();
    QTest::mouseClick(port_label_, Qt::LeftButton, {}, QPoint(10, 10));
    QTRY_VERIFY(shown_popup() != nullptr);
    QVERIFY(popup_shows("The port number"));
    QVERIFY(!QWhatsThis::inWhatsThisMode());
}

void CommonQtTest::messageBoxesHaveCatalogueCaptions() {
    BoxSeen seen;
    answer_next_box(QMessageBox::Ok, &seen);
    show_error(dialog_, "Disk full");
    QCOMPARE(seen.caption, QString("Error"));
    QCOMPARE(seen.text, QString("Disk full"));
    QCOMPARE(seen.icon, QMessageBox::Critical);

    answer_next_box(QMessageBox::Yes, &seen);
    QVERIFY(ask_yes_no(dialog_, "Stop the server?"));
    QCOMPARE(seen.caption, QString("Question"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
    answer_next_box(QMessageBox::No, &seen);
    QVERIFY(!ask_yes_no(dialog_, "Stop the server?"));

    answer_next_box(QMessageBox::Ok, &seen);
    show_notice(dialog_, "Restart the server");
    QCOMPARE(seen.caption, QString("Question"));
    QCOMPARE(seen.icon, QMessageBox::Warning);
}

void CommonQtTest::presentedErrorsBecomeErrorBoxes() {
    install_message_box_presenter();
    BoxSeen seen;
    answer_next_box(QMessageBox::Ok, &seen);
    present_error("Could not load dll: Colophon.so");
    set_error_presenter(nullptr);
    QCOMPARE(seen.caption, QString("Error"));
    QCOMPARE(seen.text, QString("Could not load dll: Colophon.so"));
}

}  // namespace kesto::common

QTEST_MAIN(kesto::common::CommonQtTest)
#include "common_qt_test.moc"
