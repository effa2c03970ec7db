#include "platform/posix/OtherOpeners.h"

#include <cerrno>
#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/vfs.h>

namespace koravel {

namespace {

constexpr long FuseMagic = 0x65735546; // statfs() f_type of every FUSE file system

// A lock on a file system that keeps no locks of that kind (the document
// portal's FUSE file system answers ENOSYS to flock()): no reason to refuse,
// but nothing learnt.
bool LocksNotKept(int errnum) {
    return errnum == ENOSYS || errnum == EOPNOTSUPP || errnum == ENOLCK;
}

// Another program's record lock on the file: the answer that F_OFD_SETLK gives.
bool RecordLockedElsewhere(int errnum) {
    return errnum == EAGAIN || errnum == EACCES;
}

// Takes a write record lock on the whole file, tied to this open file
// description, so that it lasts until `fd` is closed. 0, or why not.
int TakeRecordLock(int fd) {
    struct flock whole {};
    whole.l_type = F_WRLCK;
    whole.l_whence = SEEK_SET; // l_start 0 and l_len 0: the whole file, however long
    int locked;
    do {
        locked = ::fcntl(fd, F_OFD_SETLK, &whole);
    } while (locked != 0 && errno == EINTR);
    return locked == 0 ? 0 : errno;
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
    if (facts.lockErrno == EWOULDBLOCK || RecordLockedElsewhere(facts.recordLockErrno)) {
        return {Kind::Held, "Path/File access error: the file is locked by another program"};
    }
    for (const int errnum : {facts.lockErrno, facts.recordLockErrno}) {
        if (errnum != 0 && !LocksNotKept(errnum)) {
            return {Kind::LockFailed, {}, errnum};
        }
    }
    // Another opener seen is one, whatever the file system.
    if (facts.lease == OtherOpeners::Some) {
        return {Kind::Held, "Path/File access error: the file is open in another program"};
    }
    // Only a lease on the file itself sees every opener; the lock sees lockers alone.
    if (facts.throughFuse) {
        return {Kind::CannotTell, "the file is reached through a FUSE file system (as the "
                                  "desktop's file portal hands files to a Flatpak), which does "
                                  "not show that"};
    }
    if (facts.lease == OtherOpeners::None) {
        return {Kind::Free, {}};
    }
    if (facts.leaseErrno == EACCES || facts.leaseErrno == EPERM) {
        return {Kind::CannotTell, "the file belongs to another user, and only its owner can "
                                  "see that"};
    }
    return {Kind::CannotTell, "its file system does not show that"};
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
            return facts; // held, or failed: the rest would add nothing
        }
    }
    facts.recordLockErrno = TakeRecordLock(fd);
    if (facts.recordLockErrno != 0 && !LocksNotKept(facts.recordLockErrno)) {
        return facts;
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
