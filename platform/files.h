#pragma once
// Paths as a Windows design sees them: names are compared without regard to ASCII
// case. Each component is looked up exactly first, then among the folder's entries
// without regard to case (several matches: the first in byte order of the names).

#include <string>

namespace kesto::platform {

// The name of the entry of `folder` that is `name` up to case; `name` itself when it
// exists exactly or nothing matches.
[[nodiscard]] std::string find_entry_any_case(const std::string& folder, const std::string& name);

// `path` ('/'-separated, absolute or relative to the process's working folder) with
// every component replaced by the existing entry it names up to case. Components
// that do not exist are kept as written.
[[nodiscard]] std::string resolve_any_case(const std::string& path);

}  // namespace kesto::platform
