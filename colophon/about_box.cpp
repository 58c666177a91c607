#include "colophon/about_box.h"

#include <QDialogButtonBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>

#include "colophon/catalogue_labels.h"
#include "colophon/control_ids.h"
#include "colophon/hyper_link.h"
#include "colophon/text_viewer.h"
#include "common/message_numbers.h"
#include "common/qt/context_help.h"
#include "common/qt/message_boxes.h"
#include "common/text_helpers.h"

namespace kesto::colophon {

namespace {

constexpr double kProductScale = 1.2;
constexpr int kLogoMargin = 6;  // between the picture and its sunken frame

void name_control(QWidget* control, const char* name, int id) {
    control->setObjectName(QLatin1String(name));
    control->setProperty(common::kControlIdProperty, id);
}

QLabel* make_text(const QString& text, const char* name, int id, QWidget* parent) {
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);  // product titles and addresses are never markup
    name_control(label, name, id);
    return label;
}

QFont product_font(QFont font) {
    if (font.pointSizeF() > 0) {
        font.setPointSizeF(font.pointSizeF() * kProductScale);
    } else {
        font.setPixelSize(static_cast<int>(std::lround(font.pixelSize() * kProductScale)));
    }
    font.setWeight(QFont::Bold);
    return font;
}

}  // namespace

// One line of the contact block whose value is a link, and the names of its controls.
struct AboutBox::LinkRow {
    int label_message;
    const char* label_name;
    int label_id;
    const char* link_name;
    int link_id;
    QString text;
    QString target;
};

std::string product_line(std::string_view title, int version) {
    char number[40];
    std::snprintf(number, sizeof number, "%d.%02d.%02d", version / 10000, (version / 100) % 100,
                  version % 100);
    return std::string(title) + ' ' + number;
}

AboutBox::AboutBox(const QString& title, int version, const ContactDetails& contact,
                   std::string viewer_file, QWidget* parent)
    : QDialog(parent), viewer_file_(std::move(viewer_file)) {
    setObjectName(QStringLiteral("aboutBox"));
    setProperty(kDialogIdProperty, kAboutBoxDialog);
    setWindowTitle(QString::fromStdString(common::fill(
        "%s %s", {plain_catalogue_text(msg::kAbout).toStdString(), title.toStdString()})));

    auto* details = new QVBoxLayout;
    details->addWidget(make_product_line(title, version));
    details->addSpacing(fontMetrics().lineSpacing() / 2);
    details->addLayout(make_contact_block(contact));
    details->addStretch();

    auto* top = new QHBoxLayout;
    top->setSpacing(fontMetrics().averageCharWidth() * 2);
    top->addWidget(make_logo(title), 0, Qt::AlignTop);
    top->addLayout(details, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(fontMetrics().lineSpacing() / 2);
    layout->addLayout(make_bottom_row());
    layout->setSizeConstraint(QLayout::SetFixedSize);  // the box fits its texts
}

QWidget* AboutBox::make_logo(const QString& title) {
    auto* frame = new QFrame(this);
    frame->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    name_control(frame, "logo", kLogo);
    frame->setAccessibleName(title);
    auto* picture = new QLabel(frame);
    picture->setPixmap(QPixmap(QStringLiteral(":/colophon/logo.png")));
    picture->setAlignment(Qt::AlignCenter);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(kLogoMargin, kLogoMargin, kLogoMargin, kLogoMargin);
    layout->addWidget(picture);
    return frame;
}

QLabel* AboutBox::make_product_line(const QString& title, int version) {
    QLabel* line = make_text(QString::fromStdString(product_line(title.toStdString(), version)),
                             "productLine", kProductLine, this);
    line->setFont(product_font(font()));
    return line;
}

QLayout* AboutBox::make_contact_block(const ContactDetails& contact) {
    auto* block = new QVBoxLayout;
    const std::string telephone = telephone_and_fax(contact);
    if (!telephone.empty()) {
        // The label's text ends in a no-break space, which separates it from the number.
        block->addWidget(make_text(
            plain_catalogue_text(msg::kTelephoneLabel) + QString::fromStdString(telephone),
            "telephoneLine", kTelephoneLine, this));
    }
    if (!contact.email.empty()) {
        const QString email = QString::fromStdString(contact.email);
        block->addLayout(make_link_row({msg::kEmailLabel, "emailLabel", kEmailLabel, "emailLink",
                                        kEmailLink, email, QStringLiteral("mailto:") + email}));
    }
    if (!contact.web.empty()) {
        const QString web = QString::fromStdString(contact.web);
        block->addLayout(make_link_row({msg::kWebLabel, "webLabel", kWebLabel, "webLink", kWebLink,
                                        web, QStringLiteral("http://") + web}));
    }
    return block;
}

QLayout* AboutBox::make_link_row(const LinkRow& row_data) {
    auto* link = new HyperLink(row_data.text, row_data.target, this);
    name_control(link, row_data.link_name, row_data.link_id);
    // The label's shortcut, where its text has one, moves the focus to the link.
    QLabel* label = make_text(common::catalogue_text(row_data.label_message), row_data.label_name,
                              row_data.label_id, this);
    label->setBuddy(link);
    auto* row = new QHBoxLayout;
    row->setSpacing(0);  // the label's closing no-break space is the gap
    row->addWidget(label);
    row->addWidget(link);
    row->addStretch();
    return row;
}

QLayout* AboutBox::make_bottom_row() {
    QLabel* notice = make_text(plain_catalogue_text(msg::kAboutNotice), "notice", kNotice, this);
    notice->setWordWrap(true);
    // Two lines beside the buttons rather than a narrow column of three or more.
    const QFontMetrics metrics(notice->font());
    const int one_line = metrics.horizontalAdvance(notice->text());
    notice->setMinimumWidth(std::min(one_line, one_line / 2 + 4 * metrics.averageCharWidth()));

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* viewer =
        buttons->addButton(common::catalogue_text(msg::kViewer), QDialogButtonBox::ActionRole);
    name_control(viewer, "viewerButton", kViewerButton);
    viewer->setEnabled(!viewer_file_.empty());
    QPushButton* ok =
        buttons->addButton(common::catalogue_text(msg::kOk), QDialogButtonBox::AcceptRole);
    name_control(ok, "okButton", kOkButton);
    ok->setDefault(true);
    ok->setFocus();
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(viewer, &QPushButton::clicked, this, [this] {
        TextViewer viewer_dialog(viewer_file_, this);
        viewer_dialog.exec();
    });

    auto* row = new QHBoxLayout;
    row->addWidget(notice, 1, Qt::AlignLeft | Qt::AlignBottom);
    row->addWidget(buttons, 0, Qt::AlignBottom);
    return row;
}

}  // namespace kesto::colophon
