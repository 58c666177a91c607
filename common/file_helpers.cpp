#include "common/file_helpers.h"

#include <string>

#include "common/error_codes.h"
#include "platform/errors.h"
#include "platform/file_attributes.h"

namespace kesto::common {

namespace {

// "/a/b//" -> "/a/b"; "/" and "//" -> "/".
std::string_view without_trailing_separators(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') path.remove_suffix(1);
    return path;
}

// `folder` is absolute and has no trailing '/'.
unsigned make_folder_and_parents(const std::string& folder) {
    const platform::PathStatus status = platform::path_status(folder);
    if (status.error == 0) return status.is_folder ? kSuccess : kCannotMake;
    if (!platform::no_such_entry(status.error)) return map_error(status.error);

    const std::size_t last_separator = folder.rfind('/');
    if (last_separator > 0) {  // the root itself always exists
        const std::string parent(
            without_trailing_separators(std::string_view(folder).substr(0, last_separator)));
        const unsigned parent_result = make_folder_and_parents(parent);
        if (parent_result != kSuccess) return parent_result;
    }
    const int error = platform::make_one_folder(folder);
    // Another process may have made it in the meantime: the folder exists, as asked.
    if (error != 0 && !platform::path_status(folder).is_folder) return map_error(error);
    return kSuccess;
}

}  // namespace

unsigned make_folder(std::string_view path) {
    if (path.find('/') == std::string_view::npos) return kInvalidName;
    // The manager's working folder means nothing to its user: only absolute paths.
    if (path.front() != '/') return kCannotMake;
    return make_folder_and_parents(std::string(without_trailing_separators(path)));
}

bool is_file(std::string_view path) {
    const platform::PathStatus status = platform::path_status(std::string(path));
    return status.error == 0 && !status.is_folder;
}

bool is_folder(std::string_view path) {
    const platform::PathStatus status = platform::path_status(std::string(path));
    return status.error == 0 && status.is_folder;
}

unsigned set_read_only(std::string_view path, bool read_only) {
    return map_error(platform::set_owner_writable(std::string(path), !read_only));
}

unsigned delete_file(std::string_view path) {
    if (path.empty()) return kSuccess;
    const std::string file(path);
    const platform::PathStatus status = platform::path_status(file);
    if (status.error != 0) return map_error(status.error);
    if (status.is_folder) return kAccessDenied;
    // Cleared first, as a read-only file cannot be deleted on Windows; on Linux the
    // folder's permissions decide, so a failure to clear it does not stop the deletion.
    (void)platform::set_owner_writable(file, true);
    return map_error(platform::unlink_file(file));
}

std::int64_t file_size(std::string_view path) {
    const platform::PathStatus status = platform::path_status(std::string(path));
    return status.error == 0 && !status.is_folder ? status.size : 0;
}

std::int64_t file_write_time(std::string_view path) {
    const platform::PathStatus status = platform::path_status(std::string(path));
    return status.error == 0 ? status.write_time : 0;
}

unsigned set_write_time(std::string_view path, std::int64_t seconds) {
    static_assert(kNow == platform::kTimeNow);
    return map_error(platform::set_modification_time(std::string(path), seconds));
}

unsigned set_creation_time(std::string_view /*path*/, std::int64_t /*seconds*/) {
    return kGeneralFailure;
}

}  // namespace kesto::common
