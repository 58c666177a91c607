#pragma once
// The texts a link that cannot be opened shows, by error code. The codes are those of
// the system's "open a document" call that the link's opener reports (link_opener.h).

#include <string>

namespace kesto::colophon {

// The text for `code`; "Unknown Error (<code>) occurred." for a code without one.
[[nodiscard]] std::string hyperlink_error_text(int code);

}  // namespace kesto::colophon
