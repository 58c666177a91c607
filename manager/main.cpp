// KestoFTP: the configuration manager of the KESTO FTP server.
#include <QApplication>
#include <span>

#include "manager/manager_app.h"

int main(int argc, char** argv) {
    QApplication application(argc, argv);
    return kesto::manager::run_manager(
        std::span<const char* const>(argv, static_cast<std::size_t>(argc)));
}
