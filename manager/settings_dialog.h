#pragma once
// SettingsDialog: the server-wide settings of section GLOBAL (log level and log file,
// the address and port the server listens on, its time-outs) and the autostart entry.
// It reads them when it opens and writes them itself when closed with OK; a running
// server takes them at its next start.

#include <QDialog>
#include <array>
#include <string>

#include "settings/keys.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace kesto::common {
class ProfileStore;
}

namespace kesto::manager {

class LabelledComboBox;
class LabelledEdit;

// The controls' numbers, kept as their "controlId" property: the help table and the
// tests find the controls by them.
namespace settings_control {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kLogLevel = 1012;
inline constexpr int kLogFile = 1014;
inline constexpr int kAddressPart1 = 1015;  // the first byte; 1016..1018 the others
inline constexpr int kSpecificAddress = 1020;
inline constexpr int kAutostart = 1021;
inline constexpr int kGroup = 1022;
inline constexpr int kAddressLabel = 1023;
inline constexpr int kLogFileLabel = 1024;
inline constexpr int kLogLevelLabel = 1025;
inline constexpr int kPort = 1026;
inline constexpr int kIdleTimeout = 1027;
inline constexpr int kDataTimeout = 1028;
}  // namespace settings_control

class SettingsDialog : public QDialog {
    Q_OBJECT

  public:
    // `program_folder` holds kftpd and cfg/KestoFTP.ini, which the autostart entry runs.
    SettingsDialog(common::ProfileStore& store, std::string program_folder,
                   QWidget* parent = nullptr);

  private:
    // A number field with the key it edits and the message that refuses it.
    struct NumberField {
        LabelledEdit* edit;
        const settings::NumberKey* key;
        int refusal;
    };

    void create_controls();
    void lay_out_controls();
    void set_texts();
    void set_tab_order();
    void fill_fields();
    void fill_address();
    void enable_log_file();
    void enable_address();

    // OK: the address, then the numbers; the first refusal keeps the dialog open.
    void try_accept();
    // The address to write, "0.0.0.0" without a specific one; empty after a refusal.
    [[nodiscard]] std::string typed_address();
    [[nodiscard]] bool log_file_named();
    [[nodiscard]] bool numbers_in_range();
    // Writes every setting in order; false when a write did not reach the file.
    bool write_settings(const std::string& address);

    common::ProfileStore& store_;
    std::string program_folder_;
    bool autostart_writable_ = false;
    QGroupBox* group_ = nullptr;
    LabelledComboBox* log_level_ = nullptr;
    LabelledEdit* log_file_ = nullptr;
    LabelledEdit* port_ = nullptr;
    LabelledEdit* idle_timeout_ = nullptr;
    LabelledEdit* data_timeout_ = nullptr;
    QCheckBox* autostart_ = nullptr;
    QCheckBox* specific_address_ = nullptr;
    QLabel* address_label_ = nullptr;
    std::array<QLineEdit*, 4> address_parts_{};
    std::array<QLabel*, 3> address_dots_{};
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
    std::array<NumberField, 3> numbers_{};
};

}  // namespace kesto::manager
