#include "platform/posix/OtherOpeners.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/vfs.h>

namespace koravel {

namespace {

constexpr long FuseMagic = 0x65735546; // statfs() f_type of every FUSE file system

// flock() on a file system that keeps no locks (the document portal's FUSE
// file system answers ENOSYS): no reason to refuse, but nothing learnt.
bool LocksNotKept(int errnum) {
    return errnum == ENOSYS || errnum == EOPNOTSUPP || errnum == ENOLCK;
}

} // namespace

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

OpenerVerdict JudgeOpeners(const OpenerFacts& facts) {
    using Kind = OpenerVerdict::Kind;
    if (facts.lockErrno == EWOULDBLOCK) {
        return {Kind::Held, "Path/File access error: the file is locked by another program"};
    }
    if (facts.lockErrno != 0 && !LocksNotKept(facts.lockErrno)) {
        return {Kind::LockFailed, {}};
    }
    // Another opener seen is one, whatever the file system.
    if (facts.lease == OtherOpeners::Some) {
        return {Kind::Held, "Path/File access error: the file is open in another program"};
    }
    // Only a lease on the file itself sees every opener; the lock sees lockers alone.
    if (facts.throughFuse) {
        return {Kind::CannotTell,
                "the file is reached through a FUSE file system (as the document portal gives a "
                "sandboxed program the files picked for it), and the system sees only the "
                "programs that open it the same way"};
    }
    if (facts.lease == OtherOpeners::None) {
        return {Kind::Free, {}};
    }
    if (facts.leaseErrno == EACCES || facts.leaseErrno == EPERM) {
        return {Kind::CannotTell, "the file belongs to another user, and the system tells only "
                                  "the file's owner which programs have it open"};
    }
    return {Kind::CannotTell,
            "the file system it lies on does not tell which programs have a file open"};
}

OpenerFacts CheckOpeners(int fd) {
    OpenerFacts facts;
    int locked;
    do {
        locked = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (locked != 0 && errno == EINTR);
    if (locked != 0) {
        facts.lockErrno = errno;
        if (!LocksNotKept(facts.lockErrno)) {
            return facts; // held, or failed: the lease would add nothing
        }
    }
    facts.lease = ProbeOtherOpeners(fd);
    if (facts.lease == OtherOpeners::Unknown) {
        facts.leaseErrno = errno;
    }
    struct statfs fs {};
    facts.throughFuse = ::fstatfs(fd, &fs) == 0 && static_cast<long>(fs.f_type) == FuseMagic;
    return facts;
}

} // namespace koravel
