// The library's exports, the only symbols it makes visible (everything else, its copy of
// the support library included, is hidden at link time):
//   DllInit       takes the host's catalogue table: 0 when the table holds the marker
//                 (entry 677 "***"), else 11. Only the first accepted table is kept;
//                 later calls test the kept one.
//   DllVersion    52001.
//   ShowColophon  the about box, modal; its result (1 for OK), or 2 without a window for
//                 an absent or empty title, a version 0, no accepted catalogue, or a call
//                 that cannot show windows (no QApplication, or not its thread).
//
// With the trace on (KESTO_TRACE: the library's trace is its own copy, switched on by the
// same variable as the host's), the library traces its loading and unloading and each
// DllInit. Linux has no step at which the system could refuse to attach a library that
// loaded, so the "could not initialize" trace of other systems never occurs here.
#include <QApplication>
#include <QThread>
#include <cstring>
#include <string>

#include "colophon/about_box.h"
#include "colophon/contact.h"
#include "common/catalogue.h"
#include "common/catalogue_abi.h"
#include "common/language.h"
#include "common/text_helpers.h"
#include "common/trace.h"
#include "platform/shared_library.h"

#define COLOPHON_EXPORT extern "C" __attribute__((visibility("default")))

COLOPHON_EXPORT int DllInit(const KestoCatalogue* catalogue);
COLOPHON_EXPORT int DllVersion();
COLOPHON_EXPORT int ShowColophon(const char* title, int version, const char* viewer_file);

namespace common = kesto::common;
namespace colophon = kesto::colophon;
namespace platform = kesto::platform;

namespace {

constexpr const char* kLibraryName = "Colophon.so";
constexpr int kVersion = 52001;
constexpr int kCatalogueRefused = 11;
constexpr int kNotShown = 2;
constexpr std::size_t kMaxViewerPath = 1024;  // the host's path buffers hold no more

// Traces the library's loading and unloading. A static object rather than functions
// marked constructor and destructor: its destructor is registered after the trace's own
// state was built, so it runs before that state goes, also when the process exits with
// the library still loaded (a destructor function would run after it).
struct LifeTrace {
    LifeTrace() {
        if (common::tracing_on()) common::trace("DLLOAD: Dll loaded: %s", kLibraryName);
    }
    ~LifeTrace() {
        if (common::tracing_on()) common::trace("DLLOAD: Unloading dll: %s", kLibraryName);
    }
    LifeTrace(const LifeTrace&) = delete;
    LifeTrace& operator=(const LifeTrace&) = delete;
};

const LifeTrace life_trace;

// The folder above the DLL folder this library was loaded from; empty when unknown.
std::string program_folder() {
    const std::string library = platform::module_path_of(&life_trace);
    return library.empty() ? std::string() : common::folder_of(common::folder_of(library));
}

bool can_show_windows() {
    const auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    return application != nullptr && QThread::currentThread() == application->thread();
}

bool catalogue_accepted() {
    return common::process_catalogue().size() > 0;
}

std::string viewer_path(const char* viewer_file) {
    if (viewer_file == nullptr) return {};
    return {viewer_file, ::strnlen(viewer_file, kMaxViewerPath)};
}

}  // namespace

int DllInit(const KestoCatalogue* catalogue) {
    const bool accepted = common::install_catalogue(catalogue);
    if (common::tracing_on()) {
        if (accepted) {
            common::trace("DLLINI: DllInit OK: %s", kLibraryName);
        } else {
            common::trace("DLLINI: DllInit failed: %s", kLibraryName);
        }
    }
    return accepted ? 0 : kCatalogueRefused;
}

int DllVersion() {
    return kVersion;
}

int ShowColophon(const char* title, int version, const char* viewer_file) {
    if (title == nullptr || title[0] == '\0' || version == 0) return kNotShown;
    if (!catalogue_accepted() || !can_show_windows()) return kNotShown;
    const colophon::ContactDetails contact =
        colophon::read_contact(program_folder(), common::default_language().americas);
    colophon::AboutBox box(QString::fromUtf8(title), version, contact, viewer_path(viewer_file),
                           QApplication::activeWindow());
    return box.exec();
}
