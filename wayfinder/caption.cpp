#include "wayfinder/caption.h"

#include <algorithm>

namespace kesto::wayfinder {

namespace {

bool ends_label(char c) {
    return c == ' ' || c == '\t' || c == ':';
}

}  // namespace

std::string caption_from_label(std::string_view label) {
    std::string caption(label);
    std::erase(caption, '&');
    while (!caption.empty() && ends_label(caption.back())) caption.pop_back();
    const auto first =
        std::find_if(caption.begin(), caption.end(), [](char c) { return c != ' ' && c != '\t'; });
    caption.erase(caption.begin(), first);
    return caption.empty() ? std::string(kDefaultCaption) : caption;
}

}  // namespace kesto::wayfinder
