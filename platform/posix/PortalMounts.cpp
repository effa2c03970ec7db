#include "platform/posix/PortalMounts.h"

#include <fstream>
#include <sstream>
#include <vector>

namespace koravel {
namespace {

// Mount points are written with spaces, tabs, newlines and backslashes as
// octal escapes.
std::string Unescaped(const std::string& field) {
    std::string text;
    for (std::size_t i = 0; i < field.size(); ++i) {
        if (field[i] == '\\' && i + 3 < field.size()) {
            text += static_cast<char>(std::stoi(field.substr(i + 1, 3), nullptr, 8));
            i += 3;
        } else {
            text += field[i];
        }
    }
    return text;
}

} // namespace

bool OnDocumentPortal(const std::string& path, const std::string& mountinfo) {
    std::istringstream lines(mountinfo);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source ...
        std::istringstream fields(line);
        std::vector<std::string> field;
        for (std::string word; fields >> word;) {
            field.push_back(word);
        }
        std::size_t dash = 6;
        while (dash < field.size() && field[dash] != "-") {
            ++dash;
        }
        if (field.size() < 5 || dash + 1 >= field.size() || field[dash + 1] != "fuse.portal") {
            continue;
        }
        const std::string mountPoint = Unescaped(field[4]);
        if (path.size() > mountPoint.size() + 1 &&
            path.compare(0, mountPoint.size(), mountPoint) == 0 && path[mountPoint.size()] == '/') {
            return true;
        }
    }
    return false;
}

bool OnDocumentPortal(const std::string& path) {
    std::ifstream file("/proc/self/mountinfo");
    std::ostringstream text;
    text << file.rdbuf();
    return OnDocumentPortal(path, text.str());
}

} // namespace koravel
