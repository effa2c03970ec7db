#pragma once

#include <string>

namespace koravel {

// Whether any other open file description (in this process or another) has
// the file open, for reading or for writing.
enum class OtherOpeners {
    None,    // nobody else has it open
    Some,    // another program (or handle) has it open
    Unknown, // the system cannot tell: not our file, or no leases here
};

// Asks with a write lease, which the kernel grants only while no other open
// file description exists for the file, and gives it back at once. `fd` must
// be open for writing. On Unknown, errno says why.
OtherOpeners ProbeOtherOpeners(int fd);

// The two halves of the probe. While the lease is held, another program's
// open of the file waits for its release; the signal that tells us of it
// never ends the program.
OtherOpeners TakeWriteLease(int fd);
void ReleaseLease(int fd);

// What the checks on a file opened for writing found.
struct OpenerFacts {
    int lockErrno = 0; // why our exclusive flock() failed; 0 when taken
    // Why our write record lock (an open file description lock, as fcntl()
    // takes it) failed; 0 when taken. The document portal passes record locks
    // on to the file behind it (from version 1.19), where it keeps no flock().
    int recordLockErrno = 0;
    OtherOpeners lease = OtherOpeners::Unknown; // the write lease's answer
    int leaseErrno = 0;                         // why the lease could not tell
    // A FUSE file system: the kernel knows only the opens made through this
    // mount, not those of programs that reach the file behind it another way.
    bool throughFuse = false;
};

// What the facts mean for writing to the file.
struct OpenerVerdict {
    enum class Kind {
        Free,       // no other program has it open
        Held,       // another program has it open or locked: write nothing
        CannotTell, // nobody else was seen, but the system could not have seen them
        LockFailed, // a lock failed for a reason of its own (errnum)
    };
    Kind kind;
    std::string why; // Held: the error's description; CannotTell: why the system cannot tell
    int errnum = 0;  // LockFailed: the lock's errno
};

OpenerVerdict JudgeOpeners(const OpenerFacts& facts);

// Takes our exclusive locks on `fd` (kept until it is closed), probes with a
// lease and looks at the file system. `fd` must be open for writing.
OpenerFacts CheckOpeners(int fd);

} // namespace koravel
