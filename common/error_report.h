#pragma once
// Errors the user must see, from code below the dialogs (the library loader). The plain
// library cannot show a message box, so the manager installs a presenter that does; until
// then, and in tools and tests without one, the text goes to standard error.

#include <string>

namespace kesto::common {

using ErrorPresenter = void (*)(const std::string& text);

// nullptr restores the default presenter (standard error).
void set_error_presenter(ErrorPresenter presenter);

// Hands `text` to the installed presenter; with the trace on, the text is traced too, so
// a trace taken for a support case holds every error the user was shown.
void present_error(const std::string& text);

}  // namespace kesto::common
