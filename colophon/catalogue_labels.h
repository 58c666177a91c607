#pragma once
// Catalogue texts as the about box shows them. A text may carry one '&' before the
// letter that a button or a label with a buddy underlines as its shortcut; where no
// shortcut can apply (a window title, a label of its own) the '&' is taken out.

#include <QString>

namespace kesto::colophon {

// `text` without its shortcut marks: "&&" stays as one '&', any other '&' goes.
[[nodiscard]] QString without_accelerator(const QString& text);

// The catalogue text of `number` without its shortcut mark.
[[nodiscard]] QString plain_catalogue_text(int number);

}  // namespace kesto::colophon
