#include "common/library_loader.h"

#include <utility>

#include "common/catalogue.h"
#include "common/catalogue_abi.h"
#include "common/error_report.h"
#include "common/trace.h"

namespace kesto::common {

namespace {

bool accepts_catalogue(const platform::SharedLibrary& library) {
    const auto init = reinterpret_cast<KestoDllInit>(library.symbol("DllInit"));
    return init != nullptr && init(process_catalogue().table()) == 0;
}

}  // namespace

std::string library_path(std::string_view file, std::string_view folder) {
    if (folder.empty()) return std::string(file);
    std::string path(folder);
    if (path.back() != '/') path += '/';
    path += "DLL/";
    path += file;
    return path;
}

platform::SharedLibrary load_library(std::string_view file, std::string_view folder) {
    const std::string path = library_path(file, folder);
    platform::SharedLibrary library = platform::SharedLibrary::open(path);
    if (!library.loaded()) {
        if (tracing_on()) trace("DLL could not be loaded: %s", path.c_str());
        return {};
    }
    if (!accepts_catalogue(library)) {
        if (tracing_on()) trace("OPEN  : Could not load dll %s", path.c_str());
        return {};  // `library` unloads as it goes
    }
    return library;
}

LibraryHandle::LibraryHandle(std::string file, std::string folder, bool show_errors)
    : file_(std::move(file)), folder_(std::move(folder)), show_errors_(show_errors) {}

void* LibraryHandle::get_function(const char* name) {
    if (!library_.loaded()) {
        library_ = load_library(file_, folder_);
        if (!library_.loaded()) {
            report("Could not load dll: " + file_);
            return nullptr;
        }
    }
    void* function = library_.symbol(name);
    if (function == nullptr) {
        report("Could not find function '" + std::string(name != nullptr ? name : "") +
               "' in dll " + file_);
    }
    return function;
}

void LibraryHandle::report(const std::string& text) const {
    if (show_errors_) present_error(text);
}

}  // namespace kesto::common
