#pragma once
// UserDialog: the modal editor of one FTP account (name, password, listing style, home
// folder, confinement, read-only and desktop-client flags). It checks what was typed, offers to
// create a missing home folder and hands the cleaned values back; the caller writes the account.
// The dialog itself only reads the configuration: the account list, to refuse a name
// that is taken or that the list has no room for.

#include <QDialog>

#include "manager/account_checks.h"
#include "manager/account_values.h"

class QCheckBox;
class QFrame;
class QGroupBox;
class QPushButton;

namespace kesto::common {
class ProfileStore;
}

namespace kesto::manager {

class LabelledComboBox;
class LabelledEdit;

// The controls' numbers, kept as their "controlId" property: the help table and the
// tests find the controls by them.
namespace editor_control {
inline constexpr int kOk = 1;
inline constexpr int kCancel = 2;
inline constexpr int kName = 1002;
inline constexpr int kPassword = 1003;
inline constexpr int kListingStyle = 1004;
inline constexpr int kFolder = 1006;
inline constexpr int kBrowse = 1008;
inline constexpr int kAccountGroup = 1009;
inline constexpr int kConfined = 1010;
inline constexpr int kReadOnly = 1011;
inline constexpr int kDesktop = 1012;
}  // namespace editor_control

class UserDialog : public QDialog {
    Q_OBJECT

  public:
    // `values` fill the fields; an empty name opens the dialog to add an account.
    UserDialog(AccountValues values, common::ProfileStore& store, QWidget* parent = nullptr);

    // The cleaned values once the dialog was accepted; before, the values it was given.
    [[nodiscard]] const AccountValues& values() const { return values_; }

  private:
    void create_controls();
    void lay_out_controls();
    void set_texts();
    void set_tab_order();
    void fill_fields();

    // OK: every check in turn; the first refusal keeps the dialog open.
    void try_accept();
    [[nodiscard]] Refusal first_refusal(const AccountValues& cleaned);
    void refuse(Refusal refusal);
    // A home folder that does not exist may be created; the account is taken either way.
    void offer_to_create(const std::string& folder);
    void browse();

    AccountValues values_;
    common::ProfileStore& store_;
    QGroupBox* group_ = nullptr;
    LabelledEdit* name_ = nullptr;
    LabelledEdit* password_ = nullptr;
    LabelledComboBox* listing_style_ = nullptr;
    QFrame* separator_ = nullptr;
    LabelledEdit* folder_ = nullptr;
    QPushButton* browse_ = nullptr;
    QCheckBox* confined_ = nullptr;
    QCheckBox* read_only_ = nullptr;
    QCheckBox* desktop_ = nullptr;
    QPushButton* ok_ = nullptr;
    QPushButton* cancel_ = nullptr;
};

}  // namespace kesto::manager
