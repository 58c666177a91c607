// The catalogue loader on arbitrary files: a file is either refused or every one of
// its texts lies, terminated, inside the file's own text block.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/catalogue.h"

using kesto::common::Catalogue;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view file(reinterpret_cast<const char*>(data), size);
    Catalogue catalogue;
    if (!Catalogue::parse(file, catalogue)) {
        if (catalogue.size() != 0) std::abort();  // a refused file installs nothing
        return 0;
    }
    std::size_t total = 0;
    for (std::uint32_t i = 0; i < catalogue.size(); ++i) total += std::strlen(catalogue.text(i));
    if (std::strcmp(catalogue.text(677), "***") != 0) std::abort();
    if (catalogue.text(catalogue.size())[0] != '\0' || catalogue.text(-1)[0] != '\0') std::abort();
    return static_cast<int>(total & 0);
}
