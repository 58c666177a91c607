#pragma once
// The system's own libraries loaded at run time (Colophon.so, Wayfinder.so from the
// program folder's DLL folder). Every such library exports
//     extern "C" int DllInit(const KestoCatalogue*)     (KestoDllInit, catalogue_abi.h)
// and is accepted only when DllInit takes the process's message catalogue and returns 0,
// so that the library shows its texts in the manager's language. A library that cannot
// be loaded or refuses the catalogue is unloaded, and the caller carries on without it.

#include <string>
#include <string_view>
#include <type_traits>

#include "platform/shared_library.h"

namespace kesto::common {

// "<folder>/DLL/<file>"; without a folder the file name alone, which the system then
// looks up by its own search order.
[[nodiscard]] std::string library_path(std::string_view file, std::string_view folder);

// Loads the library and hands it the catalogue; not loaded on any failure (traced when
// the trace is on: "DLL could not be loaded: <path>" or "OPEN  : Could not load dll <path>").
[[nodiscard]] platform::SharedLibrary load_library(std::string_view file,
                                                   std::string_view folder = {});

// One library a caller takes functions from. It is loaded at the first get_function and
// unloaded when the handle goes. Use it on one thread (the user-interface thread).
class LibraryHandle {
  public:
    // With show_errors, every failed get_function presents its error (present_error):
    // "Could not load dll: <file>" or "Could not find function '<name>' in dll <file>".
    LibraryHandle(std::string file, std::string folder, bool show_errors);

    // The export `name`, or nullptr. A library that failed to load is tried again at the
    // next call (the user may have put the file back meanwhile).
    [[nodiscard]] void* get_function(const char* name);

    // get_function cast to the export's function pointer type.
    template <class Function>
    [[nodiscard]] Function get(const char* name) {
        static_assert(std::is_pointer_v<Function> &&
                      std::is_function_v<std::remove_pointer_t<Function>>);
        return reinterpret_cast<Function>(get_function(name));
    }

    [[nodiscard]] bool loaded() const { return library_.loaded(); }

  private:
    void report(const std::string& text) const;

    std::string file_;
    std::string folder_;
    bool show_errors_;
    platform::SharedLibrary library_;
};

}  // namespace kesto::common
