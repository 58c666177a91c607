// A library whose DllInit refuses every catalogue, so the loader must unload it again.
#include "common/catalogue_abi.h"

extern "C" {
int DllInit(const KestoCatalogue* catalogue);
int Answer();
}

int DllInit(const KestoCatalogue* /*catalogue*/) {
    return 1;
}

int Answer() {
    return 42;
}
