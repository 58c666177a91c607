// Wayfinder.so loaded from a private program folder as the manager loads it, its folder
// dialog answered on Qt's offscreen platform.
#include <QApplication>
#include <QDeadlineTimer>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <array>
#include <cstring>
#include <memory>
#include <thread>
#include <vector>

#include "common/catalogue.h"
#include "common/library_loader.h"
#include "wayfinder/caption.h"
#include "wayfinder/folder_buffer.h"
#include "wayfinder/wayfinder.h"

namespace kesto::wayfinder {
namespace {

constexpr int kAccepted = 0;
constexpr int kRefused = 11;
constexpr std::size_t kGuardBytes = 16;

QString caption(std::string_view label) {
    return QString::fromStdString(caption_from_label(label));
}
const QString kDefault =
    QString::fromUtf8(kDefaultCaption.data(), static_cast<qsizetype>(kDefaultCaption.size()));

// The caller's 1025 bytes and guard bytes after them that no call may touch.
struct Buffer {
    std::array<char, kFolderBufferBytes + kGuardBytes> bytes{};

    explicit Buffer(const QString& folder) {
        bytes.fill('#');
        const QByteArray text = QFile::encodeName(folder);
        std::memcpy(bytes.data(), text.constData(), static_cast<std::size_t>(text.size()) + 1);
    }
    [[nodiscard]] QString text() const { return QFile::decodeName(bytes.data()); }
};

// What the dialog showed.
struct DialogSeen {
    bool shown = false;
    QString caption;
    QString start;
    QWidget* parent = nullptr;
};

// Answers the next folder dialog: records what it shows, then types `folder` and
// chooses it, or cancels when `folder` is empty. Past a deadline every modal window is
// rejected, so a dialog that refuses the answer fails the test instead of hanging it.
std::unique_ptr<QTimer> answer_next_dialog(const QString& folder, DialogSeen* seen) {
    auto poll = std::make_unique<QTimer>();
    QObject::connect(
        poll.get(), &QTimer::timeout, [folder, seen, deadline = QDeadlineTimer(10000)] {
            auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
            if (deadline.hasExpired()) {
                while (auto* modal = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    modal->reject();
            }
            if (dialog == nullptr || !dialog->isVisible() || seen->shown) return;
            *seen = {true, dialog->windowTitle(), dialog->directory().absolutePath(),
                     dialog->parentWidget()};
            auto* buttons = dialog->findChild<QDialogButtonBox*>();
            if (folder.isEmpty()) {
                buttons->button(QDialogButtonBox::Cancel)->click();
                return;
            }
            dialog->findChild<QLineEdit*>("fileNameEdit")->setText(folder);
            buttons->button(QDialogButtonBox::Open)->click();
        });
    poll->start(10);
    return poll;
}

// Creates a folder below `base` whose path is exactly `bytes` long, in names of at most
// 200 characters.
QString make_folder_of_length(const QString& base, int bytes) {
    QString path = base;
    for (char letter = 'a'; path.size() < bytes; ++letter) {
        int name = std::min(200, bytes - static_cast<int>(path.size()) - 1);
        if (bytes - path.size() - 1 - name == 1) --name;  // leave room for "/x", never "/"
        path += '/' + QString(name, QChar(letter));
    }
    return QDir().mkpath(path) ? path : QString();
}

}  // namespace

class WayfinderTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();

    void captionIsTheLabelWithoutMarksAndColon();
    void trailingSlashesGoExceptTheRoot();
    void dllInitAcceptsOnlyAMarkedTableAndKeepsTheFirst();
    void chosenFolderIsWrittenIntoTheBuffer();
    void cancelLeavesTheBufferAsItWas();
    void startIsTheHomeFolderWhenTheBufferNamesNoFolder();
    void unterminatedBufferIsReadUpToItsBound();
    void pathLongerThanTheBufferIsRefused();
    void nullBufferOrOtherThreadShowsNoDialog();

  private:
    int select(Buffer& buffer) { return select_(buffer.bytes.data(), 0, 1, 0); }
    QString tree(const char* name) const { return root_.filePath(QString("tree/") + name); }

    QTemporaryDir root_;  // the program folder, the folders to choose from, the home folder
    common::Catalogue catalogue_;
    std::unique_ptr<common::LibraryHandle> library_;
    WayfinderSelectDirectory select_ = nullptr;
};

void WayfinderTest::initTestCase() {
    QVERIFY(root_.isValid());
    QVERIFY(QDir(root_.path()).mkpath("DLL"));
    QVERIFY(QDir(root_.path()).mkpath("home/.config"));
    QVERIFY(QDir(root_.path()).mkpath("tree/alpha"));
    QVERIFY(QDir(root_.path()).mkpath("tree/beta"));
    QVERIFY(QFile(tree("file.txt")).open(QIODevice::WriteOnly));
    QVERIFY(QFile::copy(KESTO_WAYFINDER, root_.filePath("DLL/Wayfinder.so")));
    // A home folder of its own, where Qt's file dialog keeps its settings as well.
    qputenv("HOME", root_.filePath("home").toUtf8());
    qputenv("XDG_CONFIG_HOME", root_.filePath("home/.config").toUtf8());
    qputenv("KESTO_TRACE", root_.filePath("trace.txt").toUtf8());
    QDir::setCurrent(root_.path());  // so that the relative "tree/alpha" names a folder

    QVERIFY(common::Catalogue::parse(
        common::encode_catalogue({{677, "***"}, {9260, "&Home folder:"}}), catalogue_));
    QVERIFY(common::install_catalogue(catalogue_.table()));
    library_ =
        std::make_unique<common::LibraryHandle>("Wayfinder.so", root_.path().toStdString(), false);
    select_ = library_->get<WayfinderSelectDirectory>("SelectDirectory");
    QVERIFY(select_ != nullptr);
}

void WayfinderTest::captionIsTheLabelWithoutMarksAndColon() {
    QCOMPARE(caption("&Home folder:"), "Home folder");
    QCOMPARE(caption("&Dossier personnel :"), "Dossier personnel");
    QCOMPARE(caption("Carpeta &personal:"), "Carpeta personal");
    QCOMPARE(caption(" & : "), kDefault);
}

void WayfinderTest::trailingSlashesGoExceptTheRoot() {
    QVERIFY(without_trailing_slashes("/srv/ftp//") == "/srv/ftp");
    QVERIFY(without_trailing_slashes("///") == "/");
}

// A copy under another name is a library of its own, loaded with no catalogue yet.
void WayfinderTest::dllInitAcceptsOnlyAMarkedTableAndKeepsTheFirst() {
    QVERIFY(QFile::copy(KESTO_WAYFINDER, root_.filePath("DLL/Fresh.so")));
    const auto fresh = platform::SharedLibrary::open(root_.filePath("DLL/Fresh.so").toStdString());
    const auto init = reinterpret_cast<KestoDllInit>(fresh.symbol("DllInit"));
    const auto select = reinterpret_cast<WayfinderSelectDirectory>(fresh.symbol("SelectDirectory"));
    QVERIFY(init != nullptr && select != nullptr);

    std::vector<const char*> unmarked(678, "");
    unmarked[677] = "**";
    const KestoCatalogue unmarked_table{678, unmarked.data()};
    QCOMPARE(init(nullptr), kRefused);
    QCOMPARE(init(&unmarked_table), kRefused);
    DialogSeen seen;
    Buffer buffer(tree("alpha"));
    auto poll = answer_next_dialog("", &seen);
    QCOMPARE(select(buffer.bytes.data(), 0, 1, 0), 0);
    QCOMPARE(seen.caption, kDefault);

    common::Catalogue french;
    QVERIFY(common::Catalogue::parse(
        common::encode_catalogue({{677, "***"}, {9260, "&Dossier personnel :"}}), french));
    QCOMPARE(init(french.table()), kAccepted);
    QCOMPARE(init(nullptr), kRefused);
    QCOMPARE(init(catalogue_.table()), kAccepted);
    seen = {};
    poll = answer_next_dialog("", &seen);
    QCOMPARE(select(buffer.bytes.data(), 0, 1, 0), 0);
    QCOMPARE(seen.caption, "Dossier personnel");  // the first table stays

    QFile trace(root_.filePath("trace.txt"));
    QVERIFY(trace.open(QIODevice::ReadOnly));
    const QByteArray traced = trace.readAll();
    QVERIFY(traced.contains("] DLLINI: DllInit OK: Wayfinder.so\n"));
    QVERIFY(traced.contains("] DLLINI: DllInit failed: Wayfinder.so\n"));
}

void WayfinderTest::chosenFolderIsWrittenIntoTheBuffer() {
    QWidget window;
    window.show();
    window.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&window));
    Buffer buffer(tree("alpha"));
    DialogSeen seen;
    const auto poll = answer_next_dialog(tree("beta"), &seen);
    QCOMPARE(select(buffer), 1);
    QCOMPARE(seen.start, tree("alpha"));
    QCOMPARE(seen.caption, "Home folder");
    QCOMPARE(seen.parent, &window);
    QCOMPARE(buffer.text(), tree("beta"));
    QCOMPARE(buffer.bytes[kFolderBufferBytes], '#');
}

void WayfinderTest::cancelLeavesTheBufferAsItWas() {
    Buffer buffer(tree("alpha"));
    const Buffer before = buffer;
    DialogSeen seen;
    const auto poll = answer_next_dialog("", &seen);
    QCOMPARE(select(buffer), 0);
    QVERIFY(seen.shown);
    QVERIFY(buffer.bytes == before.bytes);
}

void WayfinderTest::startIsTheHomeFolderWhenTheBufferNamesNoFolder() {
    for (const QString& start :
         {tree("missing"), tree("file.txt"), QString("tree/alpha"), QString()}) {
        Buffer buffer(start);
        DialogSeen seen;
        const auto poll = answer_next_dialog("", &seen);
        QCOMPARE(select(buffer), 0);
        QCOMPARE(seen.start, root_.filePath("home"));
    }
}

// All 1025 bytes set: the first 1,024 name tree/alpha followed by slashes, so a start
// at tree/alpha shows that the last byte was not read as part of the name.
void WayfinderTest::unterminatedBufferIsReadUpToItsBound() {
    Buffer buffer(tree("alpha"));
    const auto name_end = buffer.bytes.begin() + tree("alpha").toUtf8().size();
    std::fill(name_end, buffer.bytes.begin() + kMaxFolderBytes, '/');
    buffer.bytes[kMaxFolderBytes] = 'x';
    const Buffer before = buffer;
    DialogSeen seen;
    const auto poll = answer_next_dialog("", &seen);
    QCOMPARE(select(buffer), 0);
    QCOMPARE(seen.start, tree("alpha"));
    QVERIFY(buffer.bytes == before.bytes);
}

void WayfinderTest::pathLongerThanTheBufferIsRefused() {
    const QString longest = make_folder_of_length(tree("deep"), 1024);
    const QString too_long = make_folder_of_length(tree("deep"), 1025);
    QVERIFY(!longest.isEmpty() && !too_long.isEmpty());

    Buffer buffer(tree("alpha"));
    const Buffer before = buffer;
    DialogSeen seen;
    auto poll = answer_next_dialog(too_long, &seen);
    QCOMPARE(select(buffer), 0);
    QVERIFY(seen.shown);
    QVERIFY(buffer.bytes == before.bytes);

    seen = {};
    poll = answer_next_dialog(longest, &seen);
    QCOMPARE(select(buffer), 1);
    QCOMPARE(buffer.text(), longest);
    QCOMPARE(buffer.bytes[kFolderBufferBytes], '#');
}

void WayfinderTest::nullBufferOrOtherThreadShowsNoDialog() {
    DialogSeen seen;
    const auto poll = answer_next_dialog("", &seen);
    QCOMPARE(select_(nullptr, 0, 1, 0), 0);
    Buffer buffer(tree("alpha"));
    int result = -1;
    std::thread([&] { result = select(buffer); }).join();
    QCOMPARE(result, 0);
    QCoreApplication::processEvents();
    QVERIFY(!seen.shown);
}

}  // namespace kesto::wayfinder

QTEST_MAIN(kesto::wayfinder::WayfinderTest)
#include "wayfinder_test.moc"
