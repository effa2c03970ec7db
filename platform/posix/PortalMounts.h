#pragma once

#include <string>

namespace koravel {

// Whether the path lies on the desktop's document portal (a FUSE file system
// of type "fuse.portal"), as a file handed over by a portal does, given the
// text of /proc/self/mountinfo.
bool OnDocumentPortal(const std::string& path, const std::string& mountinfo);

// The same for this process's mounts.
bool OnDocumentPortal(const std::string& path);

} // namespace koravel
