#include "manager/manager_app.h"

#include <QMessageBox>

#include "common/file_helpers.h"
#include "common/library_init.h"
#include "common/paths.h"
#include "common/qt/message_boxes.h"
#include "common/trace.h"
#include "manager/main_dialog.h"

namespace kesto::manager {

namespace {

void show_plain_message(const char* text) {
    QMessageBox box(QMessageBox::NoIcon, "KESTO FTP", QString::fromUtf8(text), QMessageBox::Ok);
    box.exec();
}

// The library's start; false after its failure was shown.
bool start_library(std::span<const char* const> args) {
    (void)common::make_folder(common::config_path("cfg"));
    switch (common::init_library("KestoFTP", args)) {
        case common::kInitReady:
            return true;
        case common::kInitNoCommandLine:
            if (common::tracing_on())
                common::trace("INIT: Config initialization failed - system error");
            show_plain_message(kSystemErrorMessage);
            return false;
        default:
            if (common::tracing_on()) {
                common::trace("INIT: Config initialization failed - invalid installation");
            }
            show_plain_message(kInstallationMessage);
            return false;
    }
}

}  // namespace

int run_manager(std::span<const char* const> args) {
    if (common::tracing_on()) common::trace("INIT  :");
    if (!start_library(args)) return 1;
    common::install_message_box_presenter();
    common::LibraryContext& context = common::library_context();
    MainDialog window(context.store, context.program_folder, context.language);
    window.exec();
    return 0;
}

}  // namespace kesto::manager
