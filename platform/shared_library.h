#pragma once
// Libraries loaded while the program runs (the manager's own, from its DLL folder).

#include <string>

namespace kesto::platform {

// A loaded library, unloaded when this object goes. Every symbol is resolved at load
// time, so a library with a missing dependency fails to load instead of failing later
// in a call; its symbols stay private to it, so two libraries may export the same names.
class SharedLibrary {
  public:
    // Loads `path`; a path without a slash is looked up by the system's search order.
    // On failure the result is not loaded and error() says why.
    [[nodiscard]] static SharedLibrary open(const std::string& path);

    [[nodiscard]] bool loaded() const { return handle_ != nullptr; }
    // The address of the export `name`; nullptr when it is missing or nothing is loaded.
    [[nodiscard]] void* symbol(const char* name) const;
    // Why the last open failed; empty after a successful one.
    [[nodiscard]] const std::string& error() const { return error_; }
    void unload();

    SharedLibrary() = default;
    SharedLibrary(const SharedLibrary&) = delete;
    SharedLibrary& operator=(const SharedLibrary&) = delete;
    SharedLibrary(SharedLibrary&& other) noexcept;
    SharedLibrary& operator=(SharedLibrary&& other) noexcept;
    ~SharedLibrary() { unload(); }

  private:
    void* handle_ = nullptr;
    std::string error_;
};

// The path of the loaded module (the program or a library) that holds `address`, with
// symbolic links resolved: a library finds the folder it was installed in. Empty when no
// module holds the address.
[[nodiscard]] std::string module_path_of(const void* address);

}  // namespace kesto::platform
