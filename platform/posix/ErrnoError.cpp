#include "platform/posix/ErrnoError.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace koravel {

namespace {

FileError AccessError(const char* cause) {
    return FileError(err::PathFileAccess, std::string("Path/File access error: ") + cause);
}

} // namespace

FileError ErrnoError(int errnum) {
    switch (errnum) {
    case ENOENT:
    case EISDIR: // a folder is not a file we can open
    case ENXIO:  // a socket or a device without a driver
    case ENODEV:
        return FileError(err::FileNotFound, "File not found");
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP:
        return FileError(err::PathNotFound, "Path not found");
    case EACCES:
        return AccessError("permission denied");
    case EPERM:
        return AccessError("the operation is not permitted (the file may be immutable)");
    case EROFS:
        return AccessError("the file system is read-only");
    case ETXTBSY:
        return AccessError("the file is a program that is running");
    case EMFILE:
    case ENFILE:
        return FileError(err::TooManyFiles, "Too many files");
    case ENOSPC:
    case EDQUOT:
        return FileError(err::DiskFull, "Disk full");
    default:
        return FileError(err::DeviceIO, std::string("Device I/O error: ") + std::strerror(errnum));
    }
}

} // namespace koravel
