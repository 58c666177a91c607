#include "manager/main_dialog.h"

#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <cstdio>

#include "base/ascii.h"
#include "common/catalogue.h"
#include "common/library_loader.h"
#include "common/message_numbers.h"
#include "common/qt/context_help.h"
#include "common/qt/message_boxes.h"
#include "common/text_helpers.h"
#include "manager/log_viewer.h"
#include "manager/server_state.h"
#include "manager/settings_dialog.h"
#include "manager/tinted_picture.h"
#include "manager/user_dialog.h"
#include "settings/keys.h"

// Resources of a static library are registered by name, outside any namespace.
static void register_manager_resources() {
    Q_INIT_RESOURCE(manager);
}

namespace kesto::manager {

namespace {

constexpr int kVersionMajor = 2;
constexpr int kVersionMinor = 10;
constexpr int kColophonVersion = 21001;
constexpr int kNameColumnWidth = 100;
constexpr int kStateTimerMilliseconds = 1000;
constexpr char kEditionText[] = "";  // one edition is shipped

using common::catalogue_text;

const common::HelpPair kHelpPairs[] = {
    {0, msg::kHelpMainWindow},
    {kStartStopId, msg::kHelpStartStop},
    {kStatusId, msg::kHelpStatus},
    {kExitId, msg::kHelpExit},
    {kAccountListId, msg::kHelpAccountList},
    {kConfigureId, msg::kHelpConfigure},
    {kRemoveId, msg::kHelpRemoveUser},
    {kHelpId, msg::kHelpHelp},
    {kEditId, msg::kHelpEditUser},
    {kAddId, msg::kHelpAddUser},
    {kAboutId, msg::kHelpAbout},
    {kServerLogId, msg::kHelpServerLog},
};

QPushButton* make_button(QWidget* parent, int id, const char* name) {
    auto* button = new QPushButton(parent);
    button->setProperty(common::kControlIdProperty, id);
    button->setObjectName(name);
    button->setAutoDefault(false);  // Enter does nothing in this window
    return button;
}

QString window_title() {
    char numbers[32];
    std::snprintf(numbers, sizeof numbers, "KESTO FTP v%d.%02d - ", kVersionMajor, kVersionMinor);
    return (QString::fromLatin1(numbers) + catalogue_text(msg::kTitleText) + ' ' +
            QString::fromUtf8(kEditionText))
        .trimmed();
}

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

}  // namespace

MainDialog::MainDialog(common::ProfileStore& store, std::string program_folder,
                       std::string language, QWidget* parent)
    : QDialog(parent),
      store_(store),
      accounts_(store),
      program_folder_(std::move(program_folder)),
      language_(std::move(language)) {
    register_manager_resources();
    control_ = std::make_unique<ServerControl>(
        program_folder_, this, [this] { return server_log_path(store_, program_folder_); },
        [this](ControlOutcome outcome) { control_done(outcome); });
    setWindowIcon(QIcon(":/manager/app_icon.png"));
    setWindowFlags(Qt::Window | Qt::WindowCloseButtonHint | Qt::WindowMaximizeButtonHint);
    create_controls();
    lay_out_controls();
    set_texts();
    connect_controls();
    common::install_context_help(this, {std::begin(kHelpPairs), std::end(kHelpPairs)});
    load_accounts();
    if (store_.is_read_only()) common::show_notice(this, catalogue_text(msg::kStoreReadOnly));
    select_row(0);
    update_buttons();
    show_server_state();
    state_timer_.setInterval(kStateTimerMilliseconds);
    connect(&state_timer_, &QTimer::timeout, this, [this] { follow_server_state(); });
    state_timer_.start();
    list_->setFocus();
}

void MainDialog::create_controls() {
    list_ = new QTreeWidget(this);
    list_->setObjectName("accounts");
    list_->setProperty(common::kControlIdProperty, kAccountListId);
    list_->setColumnCount(2);
    list_->setRootIsDecorated(false);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSelectionBehavior(QAbstractItemView::SelectRows);
    list_->setAllColumnsShowFocus(true);
    list_->header()->setStretchLastSection(true);
    configure_ = make_button(this, kConfigureId, "configure");
    add_ = make_button(this, kAddId, "add");
    edit_ = make_button(this, kEditId, "edit");
    remove_ = make_button(this, kRemoveId, "remove");
    help_ = make_button(this, kHelpId, "help");
    exit_ = make_button(this, kExitId, "exit");
    about_ = make_button(this, kAboutId, "about");
    server_log_ = make_button(this, kServerLogId, "server_log");
    logo_ = new TintedPicture(this);
    logo_->setObjectName("logo");
    logo_->setProperty(common::kControlIdProperty, kLogoId);
    logo_->load(":/manager/logo.png");
    logo_->setAccessibleName("KESTO FTP");
    start_stop_ = make_button(this, kStartStopId, "start_stop");
    status_ = new QLabel(this);
    status_->setObjectName("status");
    status_->setProperty(common::kControlIdProperty, kStatusId);
    status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    status_->setAlignment(Qt::AlignCenter);
    help_->hide();
}

void MainDialog::lay_out_controls() {
    auto* buttons = new QVBoxLayout;
    for (QPushButton* b : {configure_, add_, edit_, remove_, help_, exit_, about_, server_log_}) {
        buttons->addWidget(b);
    }
    buttons->addStretch(1);
    auto* top = new QHBoxLayout;
    top->addWidget(list_, 1);
    top->addLayout(buttons);
    auto* line = new QFrame(this);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    auto* state = new QVBoxLayout;
    state->addStretch(1);
    state->addWidget(status_);
    state->addWidget(start_stop_, 0, Qt::AlignRight);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(logo_, 0, Qt::AlignBottom);
    bottom->addLayout(state, 1);
    auto* whole = new QVBoxLayout(this);
    whole->addLayout(top, 1);
    whole->addWidget(line);
    whole->addLayout(bottom);
    setTabOrder(list_, configure_);
    for (auto [a, b] : {std::pair{configure_, add_},
                        {add_, edit_},
                        {edit_, remove_},
                        {remove_, help_},
                        {help_, exit_},
                        {exit_, about_},
                        {about_, server_log_},
                        {server_log_, start_stop_}}) {
        setTabOrder(a, b);
    }
    resize(560, 380);
}

void MainDialog::set_texts() {
    setWindowTitle(window_title());
    configure_->setText(catalogue_text(msg::kConfigure));
    add_->setText(catalogue_text(msg::kAddUser));
    edit_->setText(catalogue_text(msg::kEditUser));
    remove_->setText(catalogue_text(msg::kRemoveUser));
    help_->setText(catalogue_text(msg::kHelp));
    exit_->setText(catalogue_text(msg::kOk));
    about_->setText(catalogue_text(msg::kAbout));
    server_log_->setText(catalogue_text(msg::kServerLog));
    QTreeWidgetItem* header = list_->headerItem();
    header->setText(0, catalogue_text(msg::kAccountColumn));
    header->setIcon(0, QIcon(":/manager/user16.png"));
    header->setText(1, catalogue_text(msg::kFolderColumn));
    header->setIcon(1, QIcon(":/manager/folder16.png"));
}

void MainDialog::connect_controls() {
    connect(add_, &QPushButton::clicked, this, [this] { add_account(); });
    connect(edit_, &QPushButton::clicked, this, [this] { edit_account(); });
    connect(remove_, &QPushButton::clicked, this, [this] { remove_account(); });
    connect(about_, &QPushButton::clicked, this, [this] { show_about(); });
    connect(configure_, &QPushButton::clicked, this, [this] { configure(); });
    connect(start_stop_, &QPushButton::clicked, this, [this] { start_or_stop(); });
    connect(server_log_, &QPushButton::clicked, this, [this] { show_server_log(); });
    connect(exit_, &QPushButton::clicked, this, [this] { reject(); });
    connect(list_, &QTreeWidget::itemSelectionChanged, this, [this] { update_buttons(); });
    connect(list_, &QTreeWidget::itemDoubleClicked, this, [this] { edit_account(); });
}

void MainDialog::load_accounts() {
    list_->clear();
    for (const AccountRow& row : accounts_.load()) append_row(row);
    reset_column_widths();
}

void MainDialog::append_row(const AccountRow& row) {
    auto* item = new QTreeWidgetItem(list_, {qt(row.name), qt(row.folder)});
    item->setData(0, Qt::UserRole, qt(row.name));
}

void MainDialog::select_row(int row) {
    if (row < 0 || row >= list_->topLevelItemCount()) return;
    list_->setCurrentItem(list_->topLevelItem(row));
    list_->topLevelItem(row)->setSelected(true);
}

int MainDialog::selected_row() const {
    const auto selected = list_->selectedItems();
    return selected.isEmpty() ? -1 : list_->indexOfTopLevelItem(selected.first());
}

void MainDialog::update_buttons() {
    const bool has_selection = selected_row() >= 0;
    edit_->setEnabled(has_selection);
    remove_->setEnabled(has_selection);
    add_->setEnabled(list_->topLevelItemCount() < kMaxRowsForAdd);
}

void MainDialog::reset_column_widths() {
    list_->setColumnWidth(0, kNameColumnWidth);
    list_->setColumnWidth(1, std::max(0, list_->viewport()->width() - kNameColumnWidth));
}

void MainDialog::add_account() {
    UserDialog editor(AccountValues{}, store_, this);
    if (editor.exec() != QDialog::Accepted) return;
    if (!accounts_.add(editor.values())) {
        common::show_error(this, catalogue_text(msg::kAccountListFull));
        return;
    }
    if (accounts_.failed()) return check_written();
    append_row({editor.values().name, editor.values().folder});
    reset_column_widths();
    update_buttons();
}

void MainDialog::edit_account() {
    const int row = selected_row();
    if (row < 0) return;
    QTreeWidgetItem* item = list_->topLevelItem(row);
    const std::string old_name = item->data(0, Qt::UserRole).toString().toStdString();
    if (old_name.empty()) return;
    UserDialog editor(accounts_.read(old_name), store_, this);
    if (editor.exec() != QDialog::Accepted) return;
    const AccountValues& values = editor.values();
    if (!accounts_.update(old_name, values)) {
        common::show_error(this, catalogue_text(msg::kAccountListFull));
        return;
    }
    if (accounts_.failed()) return check_written();
    item->setText(0, qt(values.name));
    item->setText(1, qt(values.folder));
    item->setData(0, Qt::UserRole, qt(values.name));
}

void MainDialog::remove_account() {
    const int row = selected_row();
    if (row < 0) return;
    const std::string name =
        list_->topLevelItem(row)->data(0, Qt::UserRole).toString().toStdString();
    const std::string question =
        common::fill(common::message(msg::kRemoveQuestion), {std::string_view(name)});
    if (!common::ask_yes_no(this, qt(question))) return;
    delete list_->takeTopLevelItem(row);
    select_row(std::max(0, row - 1));
    accounts_.remove(name);
    if (accounts_.failed()) return check_written();
    reset_column_widths();
    update_buttons();
}

void MainDialog::show_about() {
    common::LibraryHandle colophon("Colophon.so", program_folder_, true);
    using ShowColophon = int (*)(const char*, int, const char*);
    const auto show = colophon.get<ShowColophon>("ShowColophon");
    if (show == nullptr) return;
    const std::string licence = program_folder_ + "/msg/license." + language_;
    (void)show("KESTO FTP", kColophonVersion, licence.c_str());
}

std::vector<std::string> MainDialog::server_settings() {
    namespace keys = settings;
    constexpr std::size_t kChars = 255;
    std::vector<std::string> values;
    // Missing keys take the values the window completes a file with, never an empty
    // value the server would refuse.
    values.push_back(store_.read_text(keys::kLogLevel.section, keys::kLogLevel.name,
                                      keys::kLogLevelCompletion, kChars));
    values.push_back(store_.read_text(keys::kSystemAddress.section, keys::kSystemAddress.name,
                                      keys::kSystemAddressCompletion, kChars));
    values.push_back(store_.read_text(keys::kLogFileName.section, keys::kLogFileName.name,
                                      keys::kLogFileCompletion, kChars));
    for (const keys::NumberKey* key :
         {&keys::kSystemPort, &keys::kIdleTimeout, &keys::kDataTimeout}) {
        values.push_back(
            store_.read_text(key->section, key->name, std::to_string(key->fallback), kChars));
    }
    return values;
}

void MainDialog::configure() {
    const std::vector<std::string> before = server_settings();
    SettingsDialog dialog(store_, program_folder_, this);
    if (dialog.exec() != QDialog::Accepted) return;
    const std::vector<std::string> after = server_settings();
    bool changed = false;
    for (std::size_t i = 0; i < before.size(); ++i) {
        changed = changed || !ascii::equal_ignoring_case(before[i], after[i]);
    }
    // The server reads its settings at its start: a running one keeps the old ones.
    if (changed && server_running(program_folder_)) {
        common::show_notice(this, catalogue_text(msg::kSettingsNotice));
    }
}

void MainDialog::show_server_state() {
    const bool running = server_running(program_folder_);
    status_->setText(catalogue_text(running ? msg::kServerRunning : msg::kServerStopped));
    start_stop_->setText(catalogue_text(running ? msg::kStopServer : msg::kStartServer));
}

void MainDialog::follow_server_state() {
    control_->reap_ended();
    const bool running = server_running(program_folder_);
    const QString wanted = catalogue_text(running ? msg::kServerRunning : msg::kServerStopped);
    if (status_->text().compare(wanted, Qt::CaseInsensitive) == 0) return;
    status_->setText(wanted);
    start_stop_->setText(catalogue_text(running ? msg::kStopServer : msg::kStartServer));
}

void MainDialog::start_or_stop() {
    if (control_->busy()) return;
    start_stop_->setEnabled(false);  // one start or stop at a time
    if (server_running(program_folder_)) {
        control_->stop();
    } else {
        control_->start();
    }
}

void MainDialog::control_done(ControlOutcome outcome) {
    start_stop_->setEnabled(true);
    switch (outcome) {
        case ControlOutcome::started:
            start_stop_->setText(catalogue_text(msg::kStopServer));
            break;
        case ControlOutcome::stopped:
            start_stop_->setText(catalogue_text(msg::kStartServer));
            break;
        case ControlOutcome::failed:
            show_server_state();  // what runs now, whatever the attempt left behind
            break;
        case ControlOutcome::cancelled:
            break;
    }
}

void MainDialog::show_server_log() {
    if (log_viewer_ == nullptr) {
        log_viewer_ = new LogViewer(server_log_path(store_, program_folder_), this);
        log_viewer_->setAttribute(Qt::WA_DeleteOnClose);
    }
    log_viewer_->show();
    log_viewer_->raise();
    log_viewer_->activateWindow();
}

void MainDialog::check_written() {
    common::show_error(this, catalogue_text(msg::kChangeNotSaved));
    const int row = selected_row();
    load_accounts();
    select_row(std::max(0, std::min(row, list_->topLevelItemCount() - 1)));
    update_buttons();
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        event->accept();  // Enter does nothing here; only Esc and Exit close the window
        return;
    }
    QDialog::keyPressEvent(event);
}

void MainDialog::resizeEvent(QResizeEvent* event) {
    QDialog::resizeEvent(event);
    reset_column_widths();
}

}  // namespace kesto::manager
