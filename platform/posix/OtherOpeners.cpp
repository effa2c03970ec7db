#include "platform/posix/OtherOpeners.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>

namespace koravel {

OtherOpeners ProbeOtherOpeners(int fd) {
    const OtherOpeners found = TakeWriteLease(fd);
    if (found == OtherOpeners::None) {
        ReleaseLease(fd);
    }
    return found;
}

OtherOpeners TakeWriteLease(int fd) {
    // Someone who opens the file while the lease is held makes the kernel
    // send the lease holder a signal, SIGIO by default, which would end the
    // program. Ask for SIGURG instead, which is ignored unless handled.
    if (::fcntl(fd, F_SETSIG, SIGURG) != 0) {
        return OtherOpeners::Unknown;
    }
    int leased;
    do {
        leased = ::fcntl(fd, F_SETLEASE, F_WRLCK);
    } while (leased != 0 && errno == EINTR);
    if (leased == 0) {
        return OtherOpeners::None;
    }
    // EAGAIN: another open file description exists. EACCES: not our file and
    // no CAP_LEASE. EINVAL: this file system keeps no leases.
    return errno == EAGAIN || errno == EBUSY ? OtherOpeners::Some : OtherOpeners::Unknown;
}

void ReleaseLease(int fd) {
    ::fcntl(fd, F_SETLEASE, F_UNLCK);
}

} // namespace koravel
