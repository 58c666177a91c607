#pragma once
// The readable source of a catalogue, one file a language (msg/us.txt, ...), which the
// build compiles into msg_xx.bin. UTF-8 lines:
//   # a comment
//   311<TAB>us
//   9278<TAB>Remove the account "%s"?\n\nIts files stay on the disk.
// Blank lines are skipped; in a text, \n, \t and \\ stand for a line break, a TAB and a
// backslash. A number may appear once.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

namespace kesto::common {

struct SourceError {
    int line = 0;  // 0: none
    std::string reason;
};

// The texts by number; on an error, `error` names the first bad line.
[[nodiscard]] std::map<std::uint32_t, std::string> parse_catalogue_source(std::string_view source,
                                                                          SourceError& error);

}  // namespace kesto::common
