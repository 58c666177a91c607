#pragma once
// The message catalogue as the manager hands it to the libraries it loads: their
// exported DllInit receives a pointer to this table. Plain C, so that a library
// built by another compiler reads it the same way.

#include <stdint.h>  // NOLINT(modernize-deprecated-headers): this header is C as well

#ifdef __cplusplus
extern "C" {
#endif

// `count` texts, each terminated; texts[n] is message number n. The table and its
// texts stay valid while the library is loaded.
struct KestoCatalogue {
    uint32_t count;
    const char* const* texts;
};

// The export every library loaded by the manager has: 0 accepts the catalogue,
// anything else refuses it and the library is unloaded again.
typedef int (*KestoDllInit)(const struct KestoCatalogue* catalogue);  // NOLINT(modernize-use-using)

#ifdef __cplusplus
}
#endif
