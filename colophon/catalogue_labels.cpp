#include "colophon/catalogue_labels.h"

#include "common/qt/message_boxes.h"

namespace kesto::colophon {

QString without_accelerator(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && ++i == text.size()) break;  // the mark goes, what follows stays
        out += text[i];
    }
    return out;
}

QString plain_catalogue_text(int number) {
    return without_accelerator(common::catalogue_text(number));
}

}  // namespace kesto::colophon
