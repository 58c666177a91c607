#include "common/paths.h"

#include "platform/process.h"

namespace kesto::common {

namespace {

bool is_cut_from_ends(char c) {
    return c == ' ' || c == '\t' || c == '"';
}

}  // namespace

std::string normalise_path(std::string_view path) {
    std::string out;
    out.reserve(path.size());
    for (char c : path) {
        if (c == '\\') c = '/';
        if (c == '/' && !out.empty() && out.back() == '/') continue;
        out.push_back(c);
    }
    const bool had_slash = out.find('/') != std::string::npos;
    std::size_t begin = 0;
    while (begin < out.size() && is_cut_from_ends(out[begin])) ++begin;
    std::size_t end = out.size();
    while (end > begin && (is_cut_from_ends(out[end - 1]) || out[end - 1] == '/')) --end;
    out = out.substr(begin, end - begin);
    if (out.empty() && had_slash) return "/";
    return out;
}

const std::string& program_folder() {
    static const std::string folder = normalise_path(platform::program_folder());
    return folder;
}

std::string config_path(std::string_view base, std::string_view relative) {
    std::string joined(base);
    joined += '/';
    joined += relative;
    return normalise_path(joined);
}

std::string config_path(std::string_view relative) {
    return config_path(program_folder(), relative);
}

}  // namespace kesto::common
