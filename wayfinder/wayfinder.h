#pragma once
// The exports of Wayfinder.so, the folder chooser the manager loads from its DLL folder
// through the common library's loader (library_loader.h). Plain C, like every export of
// the manager's libraries.

#include "common/catalogue_abi.h"

#ifdef __cplusplus
extern "C" {
#endif

// The hand-shake of every library the manager loads: 0 when `catalogue` holds the marker
// text (entry 677 is "***"), 11 otherwise. The first table accepted is kept; the chooser
// shows its texts in the manager's language.
int DllInit(const struct KestoCatalogue* catalogue);

// Shows the folder chooser, modal to the application's active window, starting at the
// folder in `folder` (the user's home folder when that names no existing folder).
// `folder` is a buffer of 1025 bytes; at most 1,024 of them are read, terminated or not.
// Returns 1 when the user chose a folder: the buffer then holds it, terminated, with '/'
// separators and no trailing '/'. Returns 0 on cancel, for a null buffer, without a
// QApplication or off its thread, and for a chosen path longer than 1,024 bytes; the
// buffer is then left as it was.
// The three integers are accepted and ignored; the manager passes 0, 1 and 0.
int SelectDirectory(char* folder, int unused_first, int unused_second, int unused_third);

// The exports' types, for get<>() of a LibraryHandle.
typedef int (*WayfinderSelectDirectory)(char*, int, int, int);  // NOLINT(modernize-use-using)

#ifdef __cplusplus
}
#endif
