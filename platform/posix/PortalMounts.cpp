#include "platform/posix/PortalMounts.h"

#include <fstream>
#include <sstream>
#include <vector>

#include <sys/stat.h>
#include <sys/sysmacros.h>

namespace koravel {

bool IsDocumentPortal(unsigned major, unsigned minor, const std::string& mountinfo) {
    const std::string device = std::to_string(major) + ":" + std::to_string(minor);
    std::istringstream lines(mountinfo);
    std::string line;
    while (std::getline(lines, line)) {
        // id parent major:minor root mount-point options [optional...] - type source ...
        std::istringstream words(line);
        std::vector<std::string> field;
        for (std::string word; words >> word;) {
            field.push_back(word);
        }
        std::size_t dash = 6;
        while (dash < field.size() && field[dash] != "-") {
            ++dash;
        }
        if (dash + 1 < field.size() && field[2] == device && field[dash + 1] == "fuse.portal") {
            return true;
        }
    }
    return false;
}

bool OnDocumentPortal(const std::string& path) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
        return false;
    }
    std::ifstream file("/proc/self/mountinfo");
    std::ostringstream text;
    text << file.rdbuf();
    return IsDocumentPortal(major(st.st_dev), minor(st.st_dev), text.str());
}

} // namespace koravel
