#pragma once
// The about box (dialog 1001): the logo, the product and its version, the support
// contact with its e-mail and web addresses as links, the copyright notice, OK and a
// button that opens the text viewer on the file the host names (the licence).

#include <QDialog>
#include <string>

#include "colophon/contact.h"

class QLabel;
class QLayout;

namespace kesto::colophon {

// "<title> <VV>.<MM>.<PP>" for a version number VVMMPP: 21001 is 2.10.01.
[[nodiscard]] std::string product_line(std::string_view title, int version);

class AboutBox : public QDialog {
  public:
    AboutBox(const QString& title, int version, const ContactDetails& contact,
             std::string viewer_file, QWidget* parent = nullptr);

  private:
    QWidget* make_logo(const QString& title);
    QLabel* make_product_line(const QString& title, int version);
    QLayout* make_contact_block(const ContactDetails& contact);
    struct LinkRow;
    QLayout* make_link_row(const LinkRow& row);
    QLayout* make_bottom_row();

    std::string viewer_file_;
};

}  // namespace kesto::colophon
