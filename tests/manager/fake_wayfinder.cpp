// A stand-in for the folder chooser library: it accepts any catalogue and "chooses" a
// folder at once, written untidily so that the editor's normalisation shows. The
// folder names the start folder it was given, so a test sees what the editor passed.
// Any other arguments than the editor's (0, 1, 0) choose nothing.
#include <cstring>
#include <string>
#include <type_traits>

#include "common/catalogue_abi.h"

extern "C" {
int DllInit(const KestoCatalogue* catalogue);
int SelectDirectory(char* folder, int a, int b, int c);
}

static_assert(std::is_same_v<decltype(&DllInit), KestoDllInit>);

int DllInit(const KestoCatalogue* /*catalogue*/) {
    return 0;
}

int SelectDirectory(char* folder, int a, int b, int c) {
    constexpr std::size_t kBufferBytes = 1025;
    if (folder == nullptr || a != 0 || b != 1 || c != 0) return 0;
    const std::string start(folder, strnlen(folder, kBufferBytes));
    const std::string chosen = " \"\\chosen//from" + start + "\\\" ";
    if (chosen.size() >= kBufferBytes) return 0;
    std::memcpy(folder, chosen.c_str(), chosen.size() + 1);
    return 1;
}
