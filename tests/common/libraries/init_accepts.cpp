// A library the loader accepts: its DllInit takes a catalogue that holds the marker text.
#include <cstring>
#include <type_traits>

#include "common/catalogue_abi.h"

extern "C" {
int DllInit(const KestoCatalogue* catalogue);
int Answer();
}

static_assert(std::is_same_v<decltype(&DllInit), KestoDllInit>);

int DllInit(const KestoCatalogue* catalogue) {
    constexpr uint32_t kMarker = 677;
    const bool marked = catalogue != nullptr && catalogue->texts != nullptr &&
                        catalogue->count > kMarker &&
                        std::strcmp(catalogue->texts[kMarker], "***") == 0;
    return marked ? 0 : 1;
}

int Answer() {
    return 42;
}
