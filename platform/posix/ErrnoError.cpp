#include "platform/posix/ErrnoError.h"

#include <cerrno>
#include <cstring>
#include <string>

namespace koravel {

namespace {

FileError AccessError(const char* cause) {
    return FileError(err::PathFileAccess, std::string("Path/File access error: ") + cause);
}

FileError Denied(const char* cause) {
    return FileError(err::PermissionDenied, std::string("Permission denied: ") + cause);
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
        return Denied("the file's permissions do not allow it");
    case EPERM:
        return Denied("the operation is not permitted (the file may be immutable)");
    case EROFS:
        return Denied("the file system is read-only");
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

FileError ErrnoWriteError(int errnum) {
    switch (errnum) {
    case EACCES:
        return Denied("your user may not write to this file. Give yourself write permission on "
                      "it if it is yours, or copy it to a folder of your own and patch the copy.");
    case EPERM:
        return Denied("the file is marked immutable or append-only (see chattr). Clear that "
                      "mark, or copy the file to a folder of your own and patch the copy.");
    case EROFS:
        return Denied("the file is on a read-only disk or file system. Copy it to a folder of "
                      "your own and patch the copy.");
    default:
        return ErrnoError(errnum);
    }
}

FileError PortalReadOnlyError() {
    return Denied("the desktop handed this file to Koravel for reading only. Pick it with "
                  "Select, whose Open dialog hands files over for writing, or copy it to a "
                  "folder of your own and patch the copy.");
}

} // namespace koravel
