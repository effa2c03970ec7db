#pragma once

#include <string>

namespace koravel {

// Whether the device numbers are those of a mount of the desktop's document
// portal (a FUSE file system of type "fuse.portal"), given the text of
// /proc/self/mountinfo. A sandbox sees the portal's mount under other paths
// than the desktop does, and through links, but under the same device.
bool IsDocumentPortal(unsigned major, unsigned minor, const std::string& mountinfo);

// Whether the file lies on the document portal, as a file handed over by a
// portal does, by this process's mounts.
bool OnDocumentPortal(const std::string& path);

} // namespace koravel
