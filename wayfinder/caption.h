#pragma once
// The chooser's window title, taken from the account editor's label of the field it
// fills, so that it reads in the manager's language.

#include <string>
#include <string_view>

namespace kesto::wayfinder {

// Used when the catalogue has no label text.
inline constexpr std::string_view kDefaultCaption = "Select folder";

// The label as a title: without its '&' mnemonic marks and without the blanks and the
// ':' that end a label ("&Home folder:" -> "Home folder", "&Dossier personnel :" ->
// "Dossier personnel"); kDefaultCaption when nothing is left.
[[nodiscard]] std::string caption_from_label(std::string_view label);

}  // namespace kesto::wayfinder
