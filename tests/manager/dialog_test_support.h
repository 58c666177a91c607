#pragma once
// What the dialog tests share: a catalogue language loaded for the texts they compare,
// and the profile file read and written as bytes.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <string>

#include "common/catalogue.h"

namespace kesto::manager::test {

// Loads msg_<code>.bin of the build as the process catalogue; true when it loaded.
inline bool install_language(const char* code) {
    return common::load_catalogue(std::string(KESTO_CATALOGUE_DIR) + "/msg_" + code + ".bin") > 0;
}

inline QByteArray file_bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline bool put_file(const QString& path, const QByteArray& content) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
}

}  // namespace kesto::manager::test
