#include "colophon/text_viewer.h"

#include <QDialogButtonBox>
#include <QFontDatabase>
#include <QListWidget>
#include <QPushButton>
#include <QScrollBar>
#include <QVBoxLayout>

#include "colophon/catalogue_labels.h"
#include "colophon/control_ids.h"
#include "colophon/viewer_lines.h"
#include "common/message_numbers.h"
#include "common/qt/context_help.h"
#include "common/qt/message_boxes.h"

namespace kesto::colophon {

namespace {

// Room for a licence's lines without a horizontal scroll bar, and a screenful of them.
constexpr int kVisibleColumns = 80;
constexpr int kVisibleLines = 24;

// The system's fixed-pitch font, at least as large as the dialog's own text.
QFont viewer_font(const QFont& dialog_font) {
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (dialog_font.pointSizeF() > 0 && fixed.pointSizeF() < dialog_font.pointSizeF()) {
        fixed.setPointSizeF(dialog_font.pointSizeF());
    }
    return fixed;
}

QListWidget* make_list(const std::string& file, QWidget* parent) {
    auto* list = new QListWidget(parent);
    list->setObjectName(QStringLiteral("viewerList"));
    list->setProperty(common::kControlIdProperty, kViewerList);
    list->setFont(viewer_font(parent->font()));
    list->setUniformItemSizes(true);  // long files lay out at once
    for (const std::string& line : read_viewer_lines(file)) {
        list->addItem(QString::fromUtf8(line.data(), static_cast<qsizetype>(line.size())));
    }
    const QFontMetrics metrics(list->font());
    list->setMinimumSize(metrics.horizontalAdvance(QString(kVisibleColumns, u'0')) +
                             list->verticalScrollBar()->sizeHint().width() + 2 * list->frameWidth(),
                         metrics.lineSpacing() * kVisibleLines);
    return list;
}

}  // namespace

TextViewer::TextViewer(const std::string& file, QWidget* parent) : QDialog(parent) {
    setObjectName(QStringLiteral("textViewer"));
    setProperty(kDialogIdProperty, kTextViewerDialog);
    setWindowTitle(plain_catalogue_text(msg::kViewer));

    auto* layout = new QVBoxLayout(this);
    QListWidget* list = make_list(file, this);
    layout->addWidget(list);

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok =
        buttons->addButton(common::catalogue_text(msg::kOk), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("okButton"));
    ok->setProperty(common::kControlIdProperty, kOkButton);
    ok->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    layout->addWidget(buttons);
    ok->setFocus();
}

}  // namespace kesto::colophon
