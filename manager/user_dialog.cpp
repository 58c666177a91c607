#include "manager/user_dialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QIcon>
#include <QLabel>
#include <QList>
#include <QPushButton>
#include <QVBoxLayout>
#include <array>
#include <string>
#include <utility>

#include "common/catalogue.h"
#include "common/error_codes.h"
#include "common/file_helpers.h"
#include "common/library_init.h"
#include "common/library_loader.h"
#include "common/message_numbers.h"
#include "common/paths.h"
#include "common/profile_store.h"
#include "common/qt/context_help.h"
#include "common/qt/message_boxes.h"
#include "common/text_helpers.h"
#include "manager/labelled_combo_box.h"
#include "manager/labelled_control.h"
#include "manager/labelled_edit.h"
#include "settings/keys.h"

// The icons are compiled into the static library; naming its resource initialiser here
// keeps the linker from dropping it. Q_INIT_RESOURCE must stand outside any namespace.
static int init_editor_icons() {
    Q_INIT_RESOURCE(editor_icons);
    return 0;
}

namespace kesto::manager {

namespace {

using common::catalogue_text;

// Shown in this order, indexed by ListingStyle; fixed texts, the same in every language.
constexpr std::array<const char*, 4> kListingStyleTexts{"UNIX", "WINDOWS", "OKUMA", "UNKNOWN"};

// The folder chooser's buffer: 1,024 bytes of folder and the terminator.
constexpr std::size_t kChooserBufferBytes = 1025;
using SelectDirectory = int (*)(char* folder, int, int, int);
constexpr int kFolderChosen = 1;

// Wide enough for a typical home folder without scrolling.
constexpr int kFolderFieldChars = 44;

// The key a caption's mnemonic takes: the character after its first single '&'.
QChar mnemonic_of(const QString& caption) {
    for (qsizetype i = 0; i + 1 < caption.size(); ++i) {
        if (caption[i] != QLatin1Char('&')) continue;
        if (caption[i + 1] != QLatin1Char('&')) return caption[i + 1].toUpper();
        ++i;  // "&&" shows a plain '&'
    }
    return {};
}

// The mnemonics of one window, claimed in tab order. A caption whose key an earlier one
// holds gives its mnemonic up, so that a translation with two equal keys still has
// every key reach exactly one control.
class MnemonicKeys {
  public:
    // Claims the key of catalogue text `message`; true when another caption holds it.
    bool clashes(int message) {
        const QChar key = mnemonic_of(catalogue_text(message));
        if (key.isNull()) return false;
        if (taken_.contains(key)) return true;
        taken_.append(key);
        return false;
    }

    // Catalogue text `message`, without its '&' when its key is taken.
    QString caption(int message) {
        QString text = catalogue_text(message);
        if (clashes(message)) text.remove(QLatin1Char('&'));
        return text;
    }

  private:
    QList<QChar> taken_;
};

QString filled(int message, std::size_t limit) {
    return QString::fromStdString(common::fill(common::message(message), {limit}));
}

const std::string& wayfinder_folder() {
    const std::string& folder = common::library_context().program_folder;
    return folder.empty() ? common::program_folder() : folder;
}

}  // namespace

UserDialog::UserDialog(AccountValues values, common::ProfileStore& store, QWidget* parent)
    : QDialog(parent), values_(std::move(values)), store_(store) {
    [[maybe_unused]] static const int icons_ready = init_editor_icons();
    create_controls();
    lay_out_controls();
    set_texts();
    set_tab_order();
    fill_fields();
    connect(ok_, &QPushButton::clicked, this, &UserDialog::try_accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(browse_, &QPushButton::clicked, this, &UserDialog::browse);
    using namespace editor_control;
    common::install_context_help(this, {{0, msg::kHelpAccountDialog},
                                        {kOk, msg::kHelpOk},
                                        {kCancel, msg::kHelpCancel},
                                        {kConfined, msg::kHelpConfinedFlag},
                                        {kName, msg::kHelpName},
                                        {kPassword, msg::kHelpPassword},
                                        {kListingStyle, msg::kHelpListingStyle},
                                        {kAccountGroup, msg::kHelpAccountDialog},
                                        {kBrowse, msg::kHelpHomeFolder},
                                        {kFolder, msg::kHelpHomeFolder},
                                        {kReadOnly, msg::kHelpReadOnlyFlag},
                                        {kDesktop, msg::kHelpDesktopFlag}});
}

// In tab order; each label just before its field, where the field finds it.
void UserDialog::create_controls() {
    group_ = new QGroupBox(this);
    new QLabel(group_);
    name_ = new LabelledEdit(group_);
    new QLabel(group_);
    password_ = new LabelledEdit(group_);
    new QLabel(group_);
    listing_style_ = new LabelledComboBox(group_);
    separator_ = new QFrame(group_);
    new QLabel(group_);
    folder_ = new LabelledEdit(group_);
    browse_ = new QPushButton(group_);
    confined_ = new QCheckBox(group_);
    read_only_ = new QCheckBox(group_);
    desktop_ = new QCheckBox(group_);
    ok_ = new QPushButton(this);
    cancel_ = new QPushButton(this);

    using namespace editor_control;
    common::set_control_id(group_, kAccountGroup);
    common::set_control_id(name_, kName);
    common::set_control_id(password_, kPassword);
    common::set_control_id(listing_style_, kListingStyle);
    common::set_control_id(folder_, kFolder);
    common::set_control_id(browse_, kBrowse);
    common::set_control_id(confined_, kConfined);
    common::set_control_id(read_only_, kReadOnly);
    common::set_control_id(desktop_, kDesktop);
    common::set_control_id(ok_, kOk);
    common::set_control_id(cancel_, kCancel);
    ok_->setDefault(true);
}

void UserDialog::lay_out_controls() {
    auto* grid = new QGridLayout(group_);
    grid->addWidget(preceding_label(name_), 0, 0);
    grid->addWidget(name_, 0, 1, 1, 2);
    grid->addWidget(preceding_label(password_), 1, 0);
    grid->addWidget(password_, 1, 1, 1, 2);
    grid->addWidget(preceding_label(listing_style_), 2, 0);
    grid->addWidget(listing_style_, 2, 1, Qt::AlignLeft);

    separator_->setFrameShape(QFrame::HLine);
    separator_->setFrameShadow(QFrame::Sunken);
    grid->addWidget(separator_, 3, 0, 1, 3);
    grid->addWidget(preceding_label(folder_), 4, 0);
    grid->addWidget(folder_, 4, 1);
    grid->addWidget(browse_, 4, 2);
    grid->addWidget(confined_, 5, 0, 1, 3);
    grid->addWidget(read_only_, 6, 0, 1, 3);
    grid->addWidget(desktop_, 7, 0, 1, 3);
    grid->setColumnStretch(1, 1);
    folder_->setMinimumWidth(folder_->fontMetrics().averageCharWidth() * kFolderFieldChars);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetMinimumSize);
}

void UserDialog::set_texts() {
    setWindowTitle(
        catalogue_text(values_.name.empty() ? msg::kAddAccountCaption : msg::kEditAccountCaption));
    MnemonicKeys keys;
    group_->setTitle(keys.caption(msg::kAccountGroup));
    name_->set_label(msg::kNameLabel, keys.clashes(msg::kNameLabel));
    password_->set_label(msg::kPasswordLabel, keys.clashes(msg::kPasswordLabel));
    listing_style_->set_label(msg::kListingStyleLabel, keys.clashes(msg::kListingStyleLabel));
    folder_->set_label(msg::kHomeFolderLabel, keys.clashes(msg::kHomeFolderLabel));
    confined_->setText(keys.caption(msg::kConfinedFlag));
    read_only_->setText(keys.caption(msg::kReadOnlyFlag));
    desktop_->setText(keys.caption(msg::kDesktopFlag));
    ok_->setText(keys.caption(msg::kOk));
    cancel_->setText(keys.caption(msg::kCancel));

    // The button shows only its icon: its name is for screen readers and the tooltip.
    browse_->setIcon(QIcon(QStringLiteral(":/editor/folder16.png")));
    browse_->setAccessibleName(catalogue_text(msg::kBrowseFolder));
    browse_->setToolTip(catalogue_text(msg::kBrowseFolder));
    for (const char* style : kListingStyleTexts)
        listing_style_->addItem(QString::fromLatin1(style));
}

void UserDialog::set_tab_order() {
    QWidget* const order[] = {name_,     password_,  listing_style_, folder_, browse_,
                              confined_, read_only_, desktop_,       ok_,     cancel_};
    for (std::size_t i = 1; i < std::size(order); ++i) setTabOrder(order[i - 1], order[i]);
}

void UserDialog::fill_fields() {
    const int style = static_cast<int>(values_.listing_style);
    listing_style_->setCurrentIndex(style >= 0 && style < listing_style_->count() ? style : 0);
    name_->set_text_if_changed(QString::fromStdString(values_.name));
    password_->set_text_if_changed(QString::fromStdString(values_.password));
    folder_->set_text_if_changed(QString::fromStdString(values_.folder));
    confined_->setChecked(values_.confined);
    read_only_->setChecked(values_.read_only);
    desktop_->setChecked(values_.desktop);
}

void UserDialog::try_accept() {
    AccountValues cleaned;
    cleaned.name = cleaned_name(name_->text().toStdString());
    cleaned.password = cleaned_password(password_->text().toStdString());
    cleaned.folder = cleaned_folder(folder_->text().toStdString());
    cleaned.listing_style = static_cast<ListingStyle>(listing_style_->currentIndex());
    cleaned.confined = confined_->isChecked();
    cleaned.read_only = read_only_->isChecked();
    cleaned.desktop = desktop_->isChecked();
    if (const Refusal refusal = first_refusal(cleaned); refusal != Refusal::none) {
        refuse(refusal);
        return;
    }
    if (!common::is_folder(cleaned.folder)) offer_to_create(cleaned.folder);
    values_ = std::move(cleaned);
    accept();
}

Refusal UserDialog::first_refusal(const AccountValues& cleaned) {
    // The main window completes USERS when it loads the list, so this read finds it.
    const std::string users =
        store_.read_text(settings::kUserList.section, settings::kUserList.name,
                         settings::kUserList.fallback, settings::kUserList.max_chars);
    if (const Refusal refusal = check_name(cleaned.name, users, values_.name);
        refusal != Refusal::none) {
        return refusal;
    }
    if (const Refusal refusal = check_password(cleaned.password); refusal != Refusal::none) {
        return refusal;
    }
    return check_folder(cleaned.folder);
}

void UserDialog::refuse(Refusal refusal) {
    const RefusalNotice notice = notice_of(refusal);
    LabelledEdit* field = name_;
    if (notice.field == Field::password) field = password_;
    if (notice.field == Field::folder) field = folder_;
    // A password of blanks only is cleared, so that the user starts it afresh.
    if (refusal == Refusal::password_empty) password_->clear();
    common::show_error(this, filled(notice.message, notice.limit));
    field->setFocus();
}

void UserDialog::offer_to_create(const std::string& folder) {
    if (!common::ask_yes_no(this, catalogue_text(msg::kCreateFolderQuestion))) return;
    const unsigned code = common::make_folder(folder);
    if (code == common::kSuccess) return;
    const std::string text = common::fill(
        "%s!\n\n%s", {common::message(msg::kFolderCreateFailed), common::message(code)});
    common::show_error(this, QString::fromStdString(text));
}

// The chooser starts at the typed folder; the library is loaded for this one call.
void UserDialog::browse() {
    common::LibraryHandle wayfinder("Wayfinder.so", wayfinder_folder(), true);
    const auto select = wayfinder.get<SelectDirectory>("SelectDirectory");
    if (select == nullptr) return;
    std::array<char, kChooserBufferBytes> buffer{};
    common::copy_text(buffer.data(), folder_->text().toStdString().c_str(), buffer.size());
    if (select(buffer.data(), 0, 1, 0) != kFolderChosen) return;
    buffer.back() = '\0';  // whatever the library wrote, the text ends in the buffer
    folder_->set_text_if_changed(QString::fromStdString(cleaned_folder(buffer.data())));
}

}  // namespace kesto::manager
