#pragma once
// The lookup of a name without regard to ASCII case, shared by the descriptor walk and
// the resolution of the server's own file names.

#include <string>

namespace kesto::platform {

// Sets `name` to the entry of the open `folder` it names: exact first, else the first
// case-insensitive match in byte order; false when the folder holds neither.
[[nodiscard]] bool match_entry_any_case(int folder, std::string& name);

}  // namespace kesto::platform
