// The library's C exports: the catalogue hand-shake and the folder chooser.
#include <QApplication>
#include <QFile>
#include <QThread>
#include <cstring>
#include <type_traits>

#include "common/catalogue.h"
#include "common/message_numbers.h"
#include "common/trace.h"
#include "wayfinder/caption.h"
#include "wayfinder/folder_buffer.h"
#include "wayfinder/folder_dialog.h"
#include "wayfinder/wayfinder.h"

static_assert(std::is_same_v<decltype(&DllInit), KestoDllInit>);
static_assert(std::is_same_v<decltype(&SelectDirectory), WayfinderSelectDirectory>);

namespace kesto::wayfinder {

namespace {

constexpr const char* kLibraryFile = "Wayfinder.so";
constexpr int kAccepted = 0;
constexpr int kRefused = 11;  // the table is missing or not a catalogue of ours
constexpr int kChosen = 1;
constexpr int kNotChosen = 0;

bool has_marker(const KestoCatalogue* table) {
    constexpr auto kMarker = common::kMarkerMessage;
    return table != nullptr && table->texts != nullptr && table->count > kMarker &&
           table->texts[kMarker] != nullptr && std::strcmp(table->texts[kMarker], "***") == 0;
}

// The dialog needs the host's QApplication and may only be shown from its thread.
bool on_gui_thread() {
    const auto* application = qobject_cast<QApplication*>(QCoreApplication::instance());
    return application != nullptr && QThread::currentThread() == application->thread();
}

QString dialog_caption() {
    return QString::fromStdString(caption_from_label(common::message(msg::kHomeFolderLabel)));
}

bool write_chosen(const QString& chosen, char* buffer) {
    const QByteArray bytes = QFile::encodeName(chosen);
    const std::string_view path(bytes.constData(), static_cast<std::size_t>(bytes.size()));
    return write_folder(without_trailing_slashes(path), buffer);
}

int select_directory(char* buffer) {
    if (buffer == nullptr || !on_gui_thread()) return kNotChosen;
    const QString start = QFile::decodeName(QByteArray::fromStdString(read_folder(buffer)));
    const std::optional<QString> chosen =
        choose_folder(QApplication::activeWindow(), dialog_caption(), start);
    return chosen && write_chosen(*chosen, buffer) ? kChosen : kNotChosen;
}

int accept_catalogue(const KestoCatalogue* table) {
    // The table given is checked, not only the copy kept: a later call with a bad table
    // is refused although the first good one stays installed.
    const bool accepted = has_marker(table) && common::install_catalogue(table);
    if (common::tracing_on()) {
        common::trace(accepted ? "DLLINI: DllInit OK: %s" : "DLLINI: DllInit failed: %s",
                      kLibraryFile);
    }
    return accepted ? kAccepted : kRefused;
}

}  // namespace

}  // namespace kesto::wayfinder

// Only these two are exported: the library is built with hidden visibility.
extern "C" [[gnu::visibility("default")]] int DllInit(const KestoCatalogue* catalogue) {
    return kesto::wayfinder::accept_catalogue(catalogue);
}

extern "C" [[gnu::visibility("default")]] int SelectDirectory(char* folder, int /*first*/,
                                                              int /*second*/, int /*third*/) {
    return kesto::wayfinder::select_directory(folder);
}
