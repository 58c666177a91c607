#include "manager/settings_dialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>
#include <optional>
#include <string>
#include <utility>

#include "common/catalogue.h"
#include "common/message_numbers.h"
#include "common/profile_store.h"
#include "common/qt/context_help.h"
#include "common/qt/message_boxes.h"
#include "common/text_helpers.h"
#include "manager/autostart.h"
#include "manager/labelled_combo_box.h"
#include "manager/labelled_control.h"
#include "manager/labelled_edit.h"
#include "manager/settings_checks.h"
#include "platform/net.h"

namespace kesto::manager {

namespace {

using common::catalogue_text;
using settings::kGlobalSection;

constexpr std::string_view kAnyAddress = "0.0.0.0";
// LOG_LEVEL and SYSTEM_ADDRESS as the store may read them.
constexpr std::size_t kLogLevelChars = 4095;
constexpr std::size_t kAddressChars = 1023;
constexpr std::size_t kLogFileChars = 4095;
constexpr int kAddressPartChars = 3;
// Wide enough for "86400" and a little air; the log file for a typical name.
constexpr int kNumberFieldChars = 8;
constexpr int kLogFileFieldChars = 28;

int field_width(const QWidget* field, int characters) {
    // Digits are the widest characters these fields hold; add room for the frame.
    return field->fontMetrics().horizontalAdvance(QString(characters, QLatin1Char('0'))) +
           field->fontMetrics().averageCharWidth() * 2;
}

// inet_addr's rules: nothing, 0.0.0.0 and its failure value 255.255.255.255 all mean
// "every local address".
std::optional<platform::Ipv4Address> specific_address(const std::string& stored) {
    const auto address = platform::parse_dotted_address(stored);
    if (!address || address->is_any()) return std::nullopt;
    const auto& o = address->octets;
    if ((o[0] & o[1] & o[2] & o[3]) == 0xFF) return std::nullopt;
    return address;
}

}  // namespace

SettingsDialog::SettingsDialog(common::ProfileStore& store, std::string program_folder,
                               QWidget* parent)
    : QDialog(parent), store_(store), program_folder_(std::move(program_folder)) {
    create_controls();
    lay_out_controls();
    set_texts();
    set_tab_order();
    fill_fields();
    connect(log_level_, &QComboBox::currentIndexChanged, this, &SettingsDialog::enable_log_file);
    connect(specific_address_, &QCheckBox::toggled, this, &SettingsDialog::enable_address);
    connect(ok_, &QPushButton::clicked, this, &SettingsDialog::try_accept);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    using namespace settings_control;
    common::install_context_help(this, {{0, msg::kHelpSettingsDialog},
                                        {kOk, msg::kHelpOk},
                                        {kCancel, msg::kHelpCancel},
                                        {kLogFileLabel, msg::kHelpLogFile},
                                        {kLogLevelLabel, msg::kHelpLogLevel},
                                        {kSpecificAddress, msg::kHelpSpecificAddress},
                                        {kGroup, msg::kHelpSettingsDialog},
                                        {kLogFile, msg::kHelpLogFile},
                                        {kLogLevel, msg::kHelpLogLevel},
                                        {kAutostart, msg::kHelpAutostart},
                                        {kAddressLabel, msg::kHelpAddress},
                                        {kAddressPart1 + 3, msg::kHelpAddress},
                                        {kAddressPart1 + 2, msg::kHelpAddress},
                                        {kAddressPart1 + 1, msg::kHelpAddress},
                                        {kAddressPart1, msg::kHelpAddress},
                                        {kPort, msg::kHelpPort},
                                        {kIdleTimeout, msg::kHelpIdleTimeout},
                                        {kDataTimeout, msg::kHelpDataTimeout}});
}

// In tab order; each label just before its field, where the field finds it.
void SettingsDialog::create_controls() {
    using namespace settings_control;
    group_ = new QGroupBox(this);
    common::set_control_id(new QLabel(group_), kLogLevelLabel);
    log_level_ = new LabelledComboBox(group_);
    common::set_control_id(new QLabel(group_), kLogFileLabel);
    log_file_ = new LabelledEdit(group_);
    new QLabel(group_);
    port_ = new LabelledEdit(group_);
    new QLabel(group_);
    idle_timeout_ = new LabelledEdit(group_);
    new QLabel(group_);
    data_timeout_ = new LabelledEdit(group_);
    autostart_ = new QCheckBox(group_);
    specific_address_ = new QCheckBox(group_);
    address_label_ = new QLabel(group_);
    for (std::size_t i = 0; i < address_parts_.size(); ++i) {
        if (i > 0) address_dots_.at(i - 1) = new QLabel(QStringLiteral("."), group_);
        QLineEdit* part = new QLineEdit(group_);
        part->setMaxLength(kAddressPartChars);
        part->setAlignment(Qt::AlignRight);
        part->setValidator(
            new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), part));
        common::set_control_id(part, kAddressPart1 + static_cast<int>(i));
        address_parts_.at(i) = part;
    }
    ok_ = new QPushButton(this);
    cancel_ = new QPushButton(this);

    common::set_control_id(group_, kGroup);
    common::set_control_id(log_level_, kLogLevel);
    common::set_control_id(log_file_, kLogFile);
    common::set_control_id(port_, kPort);
    common::set_control_id(idle_timeout_, kIdleTimeout);
    common::set_control_id(data_timeout_, kDataTimeout);
    common::set_control_id(autostart_, kAutostart);
    common::set_control_id(specific_address_, kSpecificAddress);
    common::set_control_id(address_label_, kAddressLabel);
    common::set_control_id(ok_, kOk);
    common::set_control_id(cancel_, kCancel);
    ok_->setDefault(true);
    numbers_ = {NumberField{port_, &settings::kSystemPort, msg::kPortOutOfRange},
                NumberField{idle_timeout_, &settings::kIdleTimeout, msg::kIdleTimeoutOutOfRange},
                NumberField{data_timeout_, &settings::kDataTimeout, msg::kDataTimeoutOutOfRange}};
}

void SettingsDialog::lay_out_controls() {
    auto* grid = new QGridLayout(group_);
    grid->addWidget(preceding_label(log_level_), 0, 0);
    grid->addWidget(log_level_, 0, 1, Qt::AlignLeft);
    int row = 1;
    for (LabelledEdit* field : {log_file_, port_, idle_timeout_, data_timeout_}) {
        grid->addWidget(preceding_label(field), row, 0);
        grid->addWidget(field, row, 1, Qt::AlignLeft);
        ++row;
    }
    log_file_->setMinimumWidth(field_width(log_file_, kLogFileFieldChars));
    for (const NumberField& number : numbers_) {
        number.edit->setAlignment(Qt::AlignRight);
        number.edit->setFixedWidth(field_width(number.edit, kNumberFieldChars));
    }
    grid->addWidget(autostart_, row++, 0, 1, 2);
    grid->addWidget(specific_address_, row++, 0, 1, 2);

    auto* address = new QHBoxLayout;
    address->setSpacing(2);
    for (std::size_t i = 0; i < address_parts_.size(); ++i) {
        if (i > 0) address->addWidget(address_dots_.at(i - 1));
        address_parts_.at(i)->setFixedWidth(field_width(address_parts_.at(i), kAddressPartChars));
        address->addWidget(address_parts_.at(i));
    }
    address->addStretch();
    grid->addWidget(address_label_, row, 0);
    grid->addLayout(address, row, 1);
    grid->setColumnStretch(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ok_);
    buttons->addWidget(cancel_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(group_);
    layout->addLayout(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

void SettingsDialog::set_texts() {
    setWindowTitle(catalogue_text(msg::kSettingsCaption));
    group_->setTitle(catalogue_text(msg::kSettingsGroup));
    log_level_->set_label(msg::kLogLevelLabel, false);
    for (const int entry : {msg::kLogLevelNone, msg::kLogLevelFatal, msg::kLogLevelInformational})
        log_level_->addItem(catalogue_text(entry));
    log_file_->set_label(msg::kLogFileLabel, false);
    port_->set_label(msg::kPortLabel, false);
    idle_timeout_->set_label(msg::kIdleTimeoutLabel, false);
    data_timeout_->set_label(msg::kDataTimeoutLabel, false);
    autostart_->setText(catalogue_text(msg::kAutostart));
    specific_address_->setText(catalogue_text(msg::kSpecificAddress));
    address_label_->setText(catalogue_text(msg::kAddressLabel));
    address_label_->setBuddy(address_parts_.front());
    ok_->setText(catalogue_text(msg::kOk));
    cancel_->setText(catalogue_text(msg::kCancel));
}

void SettingsDialog::set_tab_order() {
    QWidget* previous = log_level_;
    for (QWidget* next :
         {static_cast<QWidget*>(log_file_), static_cast<QWidget*>(port_),
          static_cast<QWidget*>(idle_timeout_), static_cast<QWidget*>(data_timeout_),
          static_cast<QWidget*>(autostart_), static_cast<QWidget*>(specific_address_)}) {
        setTabOrder(previous, next);
        previous = next;
    }
    for (QLineEdit* part : address_parts_) {
        setTabOrder(previous, part);
        previous = part;
    }
    setTabOrder(previous, ok_);
    setTabOrder(ok_, cancel_);
}

void SettingsDialog::fill_fields() {
    using namespace settings;
    const std::string level =
        store_.read_text(kGlobalSection, kLogLevel.name, kLogLevelCompletion, kLogLevelChars);
    log_level_->setCurrentIndex(log_level_index(level));
    enable_log_file();
    log_file_->setText(QString::fromStdString(
        store_.read_text(kGlobalSection, kLogFileName.name, kLogFileCompletion, kLogFileChars)));
    for (const NumberField& number : numbers_) {
        const NumberKey& key = *number.key;
        const int value = store_.read_int(key.section, key.name, static_cast<int>(key.fallback),
                                          static_cast<int>(key.low), static_cast<int>(key.high));
        number.edit->setText(QString::number(value));
    }
    fill_address();
    autostart_writable_ = autostart_writable();
    autostart_->setChecked(autostart_writable_ && autostart_enabled(program_folder_));
}

void SettingsDialog::fill_address() {
    // A missing key is completed with "0.0.0.0", not left empty: the server refuses
    // an empty SYSTEM_ADDRESS, and both mean every local address.
    const std::string stored = store_.read_text(kGlobalSection, settings::kSystemAddress.name,
                                                settings::kSystemAddressCompletion, kAddressChars);
    const auto address = specific_address(stored);
    for (std::size_t i = 0; i < address_parts_.size(); ++i) {
        address_parts_.at(i)->setText(address ? QString::number(address->octets[i]) : QString());
    }
    specific_address_->setChecked(address.has_value());
    enable_address();
}

void SettingsDialog::enable_log_file() {
    log_file_->setEnabled(log_level_->currentIndex() > 0);
}

void SettingsDialog::enable_address() {
    const bool on = specific_address_->isChecked();
    address_label_->setEnabled(on);
    for (QLineEdit* part : address_parts_) part->setEnabled(on);
    for (QLabel* dot : address_dots_) dot->setEnabled(on);
}

void SettingsDialog::try_accept() {
    const std::string address = typed_address();
    if (address.empty() || !log_file_named() || !numbers_in_range()) return;
    if (!write_settings(address)) common::show_error(this, catalogue_text(msg::kSettingsNotSaved));
    accept();
}

std::string SettingsDialog::typed_address() {
    if (!specific_address_->isChecked()) return std::string(kAnyAddress);
    std::string address;
    for (QLineEdit* part : address_parts_) {
        const std::optional<int> value = address_part(part->text().toStdString());
        if (!value) {
            common::show_error(this, catalogue_text(msg::kAddressInvalid));
            part->setFocus();
            part->clear();
            return {};
        }
        if (!address.empty()) address += '.';
        address += std::to_string(*value);
    }
    return address;
}

// With logging on the server must have a file to open: an empty name would stop its start.
bool SettingsDialog::log_file_named() {
    if (log_level_->currentIndex() == 0) return true;
    if (!bare_log_file_name(log_file_->text().toStdString()).empty()) return true;
    common::show_error(this, catalogue_text(msg::kLogFileEmpty));
    log_file_->setFocus();
    return false;
}

bool SettingsDialog::numbers_in_range() {
    for (const NumberField& number : numbers_) {
        if (number_in_range(number.edit->text().toStdString(), *number.key)) continue;
        const std::string text =
            common::fill(common::message(number.refusal), {number.key->low, number.key->high});
        common::show_error(this, QString::fromStdString(text));
        number.edit->setFocus();
        return false;
    }
    return true;
}

bool SettingsDialog::write_settings(const std::string& address) {
    using namespace settings;
    bool all_written = true;
    const auto write = [&](std::string_view key, std::string_view value) {
        store_.write_text(kGlobalSection, key, value);
        all_written = all_written && !store_.last_write_failed();
    };
    write(kSystemAddress.name, address);
    write(kLogLevel.name, log_level_word(log_level_->currentIndex()));
    // Saved even while the field is disabled, so that it is kept for a later level.
    write(kLogFileName.name, bare_log_file_name(log_file_->text().toStdString()));
    for (const NumberField& number : numbers_) {
        const auto value = number_in_range(number.edit->text().toStdString(), *number.key);
        write(number.key->name, std::to_string(value.value_or(number.key->fallback)));
    }
    // Where the entry's folder cannot be written the box shows unticked and nothing
    // changes there, as without the rights to change it.
    if (autostart_writable_) (void)set_autostart(program_folder_, autostart_->isChecked());
    return all_written;
}

}  // namespace kesto::manager
