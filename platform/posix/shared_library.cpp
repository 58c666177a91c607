#include "platform/shared_library.h"

#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>

#include <utility>

namespace kesto::platform {

SharedLibrary SharedLibrary::open(const std::string& path) {
    SharedLibrary library;
    if (path.empty()) {  // dlopen("") would hand back the program itself
        library.error_ = "empty library path";
        return library;
    }
    library.handle_ = ::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (library.handle_ == nullptr) {
        const char* reason = ::dlerror();
        library.error_ = reason != nullptr ? reason : "dlopen failed";
    }
    return library;
}

void* SharedLibrary::symbol(const char* name) const {
    if (handle_ == nullptr || name == nullptr) return nullptr;
    return ::dlsym(handle_, name);
}

void SharedLibrary::unload() {
    if (handle_ != nullptr) ::dlclose(handle_);
    handle_ = nullptr;
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)), error_(std::move(other.error_)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
    if (this != &other) {
        unload();
        handle_ = std::exchange(other.handle_, nullptr);
        error_ = std::move(other.error_);
    }
    return *this;
}

std::string module_path_of(const void* address) {
    Dl_info info{};
    if (::dladdr(address, &info) == 0 || info.dli_fname == nullptr) return {};
    char resolved[PATH_MAX];
    if (::realpath(info.dli_fname, resolved) == nullptr) return info.dli_fname;
    return resolved;
}

}  // namespace kesto::platform
