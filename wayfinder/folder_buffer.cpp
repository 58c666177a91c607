#include "wayfinder/folder_buffer.h"

#include <algorithm>
#include <cstring>

namespace kesto::wayfinder {

std::string read_folder(const char* buffer) {
    return {buffer, std::find(buffer, buffer + kMaxFolderBytes, '\0')};
}

std::string_view without_trailing_slashes(std::string_view folder) {
    while (folder.size() > 1 && folder.back() == '/') folder.remove_suffix(1);
    return folder;
}

bool write_folder(std::string_view folder, char* buffer) {
    if (folder.size() > kMaxFolderBytes) return false;
    std::memcpy(buffer, folder.data(), folder.size());
    buffer[folder.size()] = '\0';
    return true;
}

}  // namespace kesto::wayfinder
