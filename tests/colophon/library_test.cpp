// The real Colophon.so, copied into a private program folder's DLL folder and loaded
// through the support library's loader, as the manager loads it.
#include <stdlib.h>

#include <QFrame>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QtTest>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "common/catalogue.h"
#include "common/catalogue_abi.h"
#include "common/library_loader.h"
#include "modal_watcher.h"
#include "platform/shared_library.h"
#include "profile/profile_engine.h"
#include "test_suites.h"

namespace kesto::colophon {
namespace {

namespace fs = std::filesystem;

using DllInitFunction = int (*)(const KestoCatalogue*);
using DllVersionFunction = int (*)();
using ShowColophonFunction = int (*)(const char*, int, const char*);

constexpr char kNoBreakSpace[] = "\u00A0";

std::string read_text(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// What the about box showed, read while it was open.
struct AboutBoxSeen {
    QString title;
    QString product;
    QFont product_font;
    QFont box_font;
    QString telephone;
    QString email;
    QString email_target;
    QString web;
    QString web_target;
    QString notice;
    QString logo_name;
    bool logo_sunken = false;
    bool logo_drawn = false;
    bool has_web_line = false;
};

QString label_text(QDialog* box, const char* name) {
    const auto* label = box->findChild<QLabel*>(QLatin1String(name));
    return label != nullptr ? label->text() : QString();
}

QString tooltip(QDialog* box, const char* name) {
    const auto* widget = box->findChild<QWidget*>(QLatin1String(name));
    return widget != nullptr ? widget->toolTip() : QString();
}

AboutBoxSeen read_about_box(QDialog* box) {
    AboutBoxSeen seen;
    seen.title = box->windowTitle();
    seen.product = label_text(box, "productLine");
    if (const auto* product = box->findChild<QLabel*>(QStringLiteral("productLine"))) {
        seen.product_font = product->font();
    }
    seen.box_font = box->font();
    seen.telephone = label_text(box, "telephoneLine");
    seen.email = label_text(box, "emailLabel") + label_text(box, "emailLink");
    seen.email_target = tooltip(box, "emailLink");
    seen.web = label_text(box, "webLabel") + label_text(box, "webLink");
    seen.web_target = tooltip(box, "webLink");
    seen.has_web_line = box->findChild<QWidget*>(QStringLiteral("webLink")) != nullptr;
    seen.notice = label_text(box, "notice");
    if (const auto* logo = box->findChild<QFrame*>(QStringLiteral("logo"))) {
        seen.logo_name = logo->accessibleName();
        seen.logo_sunken = logo->frameShadow() == QFrame::Sunken;
        const auto* picture = logo->findChild<QLabel*>();
        seen.logo_drawn = picture != nullptr && !picture->pixmap().isNull();
    }
    return seen;
}

}  // namespace

class LibraryTest : public QObject {
    Q_OBJECT

  private slots:
    void initTestCase();
    void init();
    void cleanup();

    void exportsAnswerWithoutAWindow();
    void dllInitKeepsOnlyTheFirstTable();
    void aboutBoxShowsProductAndVersion_data();
    void aboutBoxShowsProductAndVersion();
    void contactSetFollowsTheLanguage_data();
    void contactSetFollowsTheLanguage();
    void contactIsReadFromTheProfile();
    void viewerOpensFromTheAboutBox();
    void screenshots();

  private:
    // Shows the about box through a fresh load of the library; `inspect` sees it open,
    // then OK closes it. The result of ShowColophon.
    int show_about_box(const char* title, int version, const std::string& viewer_file,
                       const std::function<void(QDialog*)>& inspect);

    fs::path folder_;
    QByteArray saved_locale_;
};

void LibraryTest::initTestCase() {
    QVERIFY(common::load_catalogue(KESTO_CATALOGUE_DIR "/msg_us.bin") > 0);
    saved_locale_ = qgetenv("LC_ALL");
}

void LibraryTest::init() {
    char name[] = "/tmp/kesto-colophon-XXXXXX";
    QVERIFY(::mkdtemp(name) != nullptr);
    folder_ = name;
    fs::create_directory(folder_ / "DLL");
    fs::copy_file(KESTO_COLOPHON_LIBRARY, folder_ / "DLL" / "Colophon.so");
    qputenv("LC_ALL", "en_US.UTF-8");
}

void LibraryTest::cleanup() {
    qputenv("LC_ALL", saved_locale_);
    fs::remove_all(folder_);
}

int LibraryTest::show_about_box(const char* title, int version, const std::string& viewer_file,
                                const std::function<void(QDialog*)>& inspect) {
    common::LibraryHandle library("Colophon.so", folder_.string(), false);
    const auto show = library.get<ShowColophonFunction>("ShowColophon");
    if (show == nullptr) return -2;
    const ModalWatcher watcher(QStringLiteral("aboutBox"), [&](QDialog* box) {
        inspect(box);
        click_button(box, "okButton");
    });
    return show(title, version, viewer_file.c_str());
}

void LibraryTest::exportsAnswerWithoutAWindow() {
    common::LibraryHandle library("Colophon.so", folder_.string(), false);
    const auto version = library.get<DllVersionFunction>("DllVersion");
    const auto show = library.get<ShowColophonFunction>("ShowColophon");
    QVERIFY(version != nullptr && show != nullptr);
    QCOMPARE(version(), 52001);

    bool shown = false;
    const ModalWatcher watcher(QStringLiteral("aboutBox"), [&](QDialog* box) {
        shown = true;
        box->done(-1);
    });
    QCOMPARE(show("", 21001, ""), 2);
    QCOMPARE(show(nullptr, 21001, ""), 2);
    QCOMPARE(show("KESTO FTP", 0, ""), 2);
    QCoreApplication::processEvents();
    QVERIFY(!shown);
}

// A second copy, loaded without the loader, so that its first DllInit is ours to make.
void LibraryTest::dllInitKeepsOnlyTheFirstTable() {
    const fs::path copy = folder_ / "DLL" / "Fresh.so";
    fs::copy_file(folder_ / "DLL" / "Colophon.so", copy);
    const fs::path trace = folder_ / "trace.txt";
    qputenv("KESTO_TRACE", trace.string().c_str());
    {
        platform::SharedLibrary library = platform::SharedLibrary::open(copy.string());
        QVERIFY(library.loaded());
        const auto init = reinterpret_cast<DllInitFunction>(library.symbol("DllInit"));
        const auto show = reinterpret_cast<ShowColophonFunction>(library.symbol("ShowColophon"));
        QVERIFY(init != nullptr && show != nullptr);
        std::vector<const char*> texts(701, "");
        texts[700] = "text";
        const KestoCatalogue unmarked{static_cast<uint32_t>(texts.size()), texts.data()};

        QCOMPARE(init(nullptr), 11);
        QCOMPARE(init(&unmarked), 11);
        QCOMPARE(show("KESTO FTP", 21001, ""), 2);  // no catalogue taken yet: nothing shown
        QCOMPARE(init(common::process_catalogue().table()), 0);
        QCOMPARE(init(&unmarked), 0);  // the kept table is tested
        QCOMPARE(init(nullptr), 0);
    }
    qunsetenv("KESTO_TRACE");
    QVERIFY2(read_text("/proc/self/maps").find(copy.string()) == std::string::npos,
             "the library unloads");
    const std::string traced = read_text(trace);
    for (const char* line :
         {"] DLLOAD: Dll loaded: Colophon.so\n", "] DLLINI: DllInit failed: Colophon.so\n",
          "] DLLINI: DllInit OK: Colophon.so\n", "] DLLOAD: Unloading dll: Colophon.so\n"}) {
        QVERIFY2(traced.find(line) != std::string::npos, line);
    }
    QVERIFY(traced.find("DllInit failed") < traced.find("DllInit OK"));
}

void LibraryTest::aboutBoxShowsProductAndVersion_data() {
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("product");
    QTest::newRow("2.10.01") << 21001 << "KESTO FTP 2.10.01";
    QTest::newRow("5.20.01") << 52001 << "KESTO FTP 5.20.01";
}

void LibraryTest::aboutBoxShowsProductAndVersion() {
    QFETCH(int, version);
    QFETCH(QString, product);
    AboutBoxSeen seen;
    QCOMPARE(
        show_about_box("KESTO FTP", version, "", [&](QDialog* box) { seen = read_about_box(box); }),
        QDialog::Accepted);
    QCOMPARE(seen.title, QStringLiteral("About KESTO FTP"));
    QCOMPARE(seen.product, product);
    QVERIFY(seen.product_font.bold());
    QCOMPARE(seen.product_font.pointSizeF(), seen.box_font.pointSizeF() * 1.2);
    QCOMPARE(seen.notice, QString::fromUtf8(common::message(568)));
    QCOMPARE(seen.logo_name, QStringLiteral("KESTO FTP"));
    QVERIFY(seen.logo_sunken);
    QVERIFY2(seen.logo_drawn, "the logo comes from the library's resources");
}

void LibraryTest::contactSetFollowsTheLanguage_data() {
    QTest::addColumn<QByteArray>("locale");
    QTest::addColumn<QString>("telephone");
    QTest::addColumn<QString>("email");
    QTest::addColumn<QString>("web");
    const QString americas_phone = "+1 555-0100, Fax +1 555-0101";
    const QString other_phone = "+1 555-0110, Fax +1 555-0111";
    QTest::newRow("en_CA") << QByteArray("en_CA.UTF-8") << americas_phone
                           << "support-americas@example.com"
                           << "www.example.com";
    QTest::newRow("es_MX") << QByteArray("es_MX.UTF-8") << americas_phone
                           << "support-americas@example.com"
                           << "www.example.com";
    QTest::newRow("en_GB") << QByteArray("en_GB.UTF-8") << other_phone << "support@example.com"
                           << "www.example.org";
    QTest::newRow("es_ES") << QByteArray("es_ES.UTF-8") << other_phone << "support@example.com"
                           << "www.example.org";
}

void LibraryTest::contactSetFollowsTheLanguage() {
    QFETCH(QByteArray, locale);
    QFETCH(QString, telephone);
    QFETCH(QString, email);
    QFETCH(QString, web);
    qputenv("LC_ALL", locale);
    AboutBoxSeen seen;
    QCOMPARE(
        show_about_box("KESTO FTP", 21001, "", [&](QDialog* box) { seen = read_about_box(box); }),
        QDialog::Accepted);
    const QString nbsp = QString::fromUtf8(kNoBreakSpace);
    QCOMPARE(seen.telephone, "Telephone:" + nbsp + telephone);
    QCOMPARE(seen.email, "E-mail:" + nbsp + email);
    QCOMPARE(seen.email_target, "mailto:" + email);
    QCOMPARE(seen.web, "Web:" + nbsp + web);
    QCOMPARE(seen.web_target, "http://" + web);
    // Both sets were written back for the deployer to edit.
    const std::string profile = read_text(folder_ / "cfg" / "Colophon.ini");
    const auto value = [&](std::string_view section, std::string_view key) {
        return profile::lookup(profile, section, key, 1023).value_or("(missing)");
    };
    QCOMPARE(value("CONTACT_AMERICAS", "TELEPHONE"), std::string("+1 555-0100"));
    QCOMPARE(value("CONTACT_AMERICAS", "EMAIL"), std::string("support-americas@example.com"));
    QCOMPARE(value("CONTACT_INTERNATIONAL", "FAX"), std::string("+1 555-0111"));
    QCOMPARE(value("CONTACT_INTERNATIONAL", "WEB"), std::string("www.example.org"));
}

void LibraryTest::contactIsReadFromTheProfile() {
    fs::create_directory(folder_ / "cfg");
    std::ofstream(folder_ / "cfg" / "Colophon.ini") << "[CONTACT_INTERNATIONAL]\n"
                                                       "TELEPHONE=+49 30 5550100\n"
                                                       "FAX=\n"
                                                       "EMAIL=help@plant.example\n"
                                                       "WEB=\n";
    qputenv("LC_ALL", "de_DE.UTF-8");
    AboutBoxSeen seen;
    QCOMPARE(
        show_about_box("KESTO FTP", 21001, "", [&](QDialog* box) { seen = read_about_box(box); }),
        QDialog::Accepted);
    QVERIFY(seen.telephone.endsWith(QStringLiteral("\u00A0+49 30 5550100")));
    QCOMPARE(seen.email_target, QStringLiteral("mailto:help@plant.example"));
    QVERIFY2(!seen.has_web_line, "an empty address leaves its line out");
}

void LibraryTest::viewerOpensFromTheAboutBox() {
    std::ofstream(folder_ / "license.us", std::ios::binary) << "first line\r\nsecond line\n";
    QStringList items;
    QString viewer_title;
    bool fixed_pitch = false;
    QCOMPARE(show_about_box(
                 "KESTO FTP", 21001, (folder_ / "license.de").string(),
                 [&](QDialog* box) {
                     const ModalWatcher viewer(QStringLiteral("textViewer"), [&](QDialog* dialog) {
                         viewer_title = dialog->windowTitle();
                         const auto* list = dialog->findChild<QListWidget*>();
                         for (int i = 0; list != nullptr && i < list->count(); ++i) {
                             items << list->item(i)->text();
                         }
                         fixed_pitch = list != nullptr && QFontInfo(list->font()).fixedPitch() &&
                                       list->font().pointSizeF() >= dialog->font().pointSizeF();
                         click_button(dialog, "okButton");
                     });
                     click_button(box, "viewerButton");
                     QVERIFY(viewer.seen());
                 }),
             QDialog::Accepted);
    QCOMPARE(viewer_title, QStringLiteral("License"));
    QCOMPARE(items, QStringList({"first line", "second line"}));
    QVERIFY2(fixed_pitch, "a fixed-pitch font at least as large as the dialog's");
}

// With KESTO_SCREENSHOT_DIR set: the about box and the viewer with the licence as PNGs.
void LibraryTest::screenshots() {
    const QString target = qEnvironmentVariable("KESTO_SCREENSHOT_DIR");
    if (target.isEmpty()) QSKIP("KESTO_SCREENSHOT_DIR is not set");
    fs::create_directory(folder_ / "msg");
    fs::copy_file(KESTO_LICENSE_FILE, folder_ / "msg" / "license.us");
    bool saved = false;
    show_about_box(
        "KESTO FTP", 21001, (folder_ / "msg" / "license.us").string(), [&](QDialog* box) {
            saved = box->grab().save(target + "/about_box.png");
            const ModalWatcher viewer(QStringLiteral("textViewer"), [&](QDialog* dialog) {
                saved = saved && dialog->grab().save(target + "/licence_viewer.png");
                click_button(dialog, "okButton");
            });
            click_button(box, "viewerButton");
        });
    QVERIFY(saved);
}

int run_library_tests(int argc, char** argv) {
    LibraryTest test;
    return QTest::qExec(&test, argc, argv);
}

}  // namespace kesto::colophon

#include "library_test.moc"
