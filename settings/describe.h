#pragma once
// The key tables as text, one line a key: names, kinds, defaults and limits in one
// place, for the golden files that pin them and for diagnostics.

#include <string>

namespace kesto::settings {

[[nodiscard]] std::string describe_global_keys();
[[nodiscard]] std::string describe_account_keys();

}  // namespace kesto::settings
