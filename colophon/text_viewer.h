#pragma once
// The text viewer (dialog 1003): the lines of a plain-text file in a list, in the
// system's fixed-pitch font so that text laid out with blanks keeps its columns.

#include <QDialog>
#include <string>

namespace kesto::colophon {

class TextViewer : public QDialog {
  public:
    // Lists read_viewer_lines(file) (viewer_lines.h).
    explicit TextViewer(const std::string& file, QWidget* parent = nullptr);
};

}  // namespace kesto::colophon
