#include "platform/web/PickerTypes.h"

#include <optional>

namespace koravel {

namespace {

// "*.bin" gives ".bin"; "*.*", "*" and patterns with more wildcards give nothing.
std::optional<std::string> ExtensionOf(const std::string& pattern) {
    if (pattern.size() < 3 || pattern.compare(0, 2, "*.") != 0) {
        return std::nullopt;
    }
    if (pattern.find_first_of("*?. ", 2) != std::string::npos) {
        return std::nullopt;
    }
    return pattern.substr(1);
}

bool LetsEveryFileThrough(const std::string& pattern) {
    return pattern == "*.*" || pattern == "*";
}

// A pair's pattern may list several, separated by semicolons.
std::vector<std::string> Patterns(const std::string& patterns) {
    std::vector<std::string> items;
    std::string::size_type start = 0;
    while (start <= patterns.size()) {
        const auto end = patterns.find(';', start);
        const auto stop = end == std::string::npos ? patterns.size() : end;
        items.push_back(patterns.substr(start, stop - start));
        start = stop + 1;
    }
    return items;
}

} // namespace

std::string PickerTypesText(const std::vector<FileFilter>& filters) {
    std::string text;
    for (const FileFilter& filter : filters) {
        std::string extensions;
        for (const std::string& pattern : Patterns(filter.pattern)) {
            if (const auto extension = ExtensionOf(pattern)) {
                extensions += (extensions.empty() ? "" : " ") + *extension;
            }
        }
        if (!extensions.empty()) {
            text += filter.description + "\t" + extensions + "\n";
        }
    }
    return text;
}

std::string PickerAccept(const std::vector<FileFilter>& filters) {
    std::string accept;
    for (const FileFilter& filter : filters) {
        for (const std::string& pattern : Patterns(filter.pattern)) {
            if (LetsEveryFileThrough(pattern)) {
                return std::string();
            }
            if (const auto extension = ExtensionOf(pattern)) {
                accept += (accept.empty() ? "" : ",") + *extension;
            }
        }
    }
    return accept;
}

} // namespace koravel
