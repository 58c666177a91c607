#pragma once
// MainDialog: the manager's window. The accounts of the configuration file in a
// two-column list (name, home folder), the buttons that add, edit and remove them,
// the server settings, the about box, and the server's state with its Start/Stop
// button. Every change is written to the file at once through the profile store.

#include <QDialog>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <string>
#include <vector>

#include "common/profile_store.h"
#include "manager/account_file.h"
#include "manager/server_control.h"

class QLabel;
class QPushButton;
class QTreeWidget;

namespace kesto::manager {

class LogViewer;
class TintedPicture;

// The controls' numbers (their "controlId" property; help tables and tests use them).
enum MainControl : int {
    kAccountListId = 1001,
    kConfigureId = 4,
    kAddId = 5,
    kEditId = 8,
    kRemoveId = 6,
    kHelpId = 57670,
    kExitId = 2,
    kAboutId = 57671,
    kLogoId = 1028,
    kStartStopId = 1026,
    kStatusId = 1027,
    kServerLogId = 1029,
};

// At most this many accounts can be added from the window (a longer file is shown whole).
inline constexpr int kMaxRowsForAdd = 256;

class MainDialog : public QDialog {
  public:
    // `program_folder` holds DLL/ and msg/; `language` names the licence file.
    MainDialog(common::ProfileStore& store, std::string program_folder, std::string language,
               QWidget* parent = nullptr);

    [[nodiscard]] QTreeWidget* account_list() const { return list_; }
    [[nodiscard]] const ServerControl& server_control() const { return *control_; }

  protected:
    void keyPressEvent(QKeyEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

  private:
    void create_controls();
    void lay_out_controls();
    void set_texts();
    void connect_controls();
    void load_accounts();
    void append_row(const AccountRow& row);
    void select_row(int row);
    [[nodiscard]] int selected_row() const;
    void update_buttons();
    void reset_column_widths();
    void add_account();
    void edit_account();
    void remove_account();
    void show_about();
    void configure();
    // The settings the server reads at its start, to tell whether the dialog changed one.
    [[nodiscard]] std::vector<std::string> server_settings();
    void show_server_state();
    // The timer's check: the texts change only when the state differs from the one shown.
    void follow_server_state();
    void start_or_stop();
    void control_done(ControlOutcome outcome);
    void show_server_log();
    // Tells the user when a change did not reach the file, and shows what it holds.
    void check_written();

    common::ProfileStore& store_;
    AccountFile accounts_;
    std::string program_folder_;
    std::string language_;
    QTreeWidget* list_ = nullptr;
    QPushButton* configure_ = nullptr;
    QPushButton* add_ = nullptr;
    QPushButton* edit_ = nullptr;
    QPushButton* remove_ = nullptr;
    QPushButton* help_ = nullptr;
    QPushButton* exit_ = nullptr;
    QPushButton* about_ = nullptr;
    TintedPicture* logo_ = nullptr;
    QPushButton* start_stop_ = nullptr;
    QLabel* status_ = nullptr;
    QPushButton* server_log_ = nullptr;
    std::unique_ptr<ServerControl> control_;
    QTimer state_timer_;
    QPointer<LogViewer> log_viewer_;
};

}  // namespace kesto::manager
