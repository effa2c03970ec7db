// What the lock, the lease and the file system together say about other
// programs that have a file open. The rows are written out by hand: the facts
// on a local disk are the ones the file layer's tests provoke for real, and
// those through the document portal's FUSE file system (which keeps no locks,
// and grants the lease while a program outside has the file behind it open)
// the ones the sandbox run meets.
#include "platform/posix/OtherOpeners.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace koravel;
using Kind = OpenerVerdict::Kind;
constexpr auto None = OtherOpeners::None;
constexpr auto Some = OtherOpeners::Some;
constexpr auto Unknown = OtherOpeners::Unknown;

TEST(JudgeOpeners, RefusesWhatItSeesAndNeverCallsUnseenOpenersFree) {
    struct Case {
        OpenerFacts facts;
        Kind kind;
        const char* why; // a part of the reason given; nullptr: none is given
        int errnum;      // the failed lock's errno, for LockFailed
    };
    for (const Case& c : {
             Case{{EWOULDBLOCK, 0, Unknown, 0, false}, Kind::Held, "locked by another program", 0},
             // A record lock outside, passed on by the document portal.
             Case{{ENOSYS, EAGAIN, None, 0, true}, Kind::Held, "locked by another program", 0},
             Case{{0, EACCES, None, 0, false}, Kind::Held, "locked by another program", 0},
             Case{{0, 0, Some, 0, false}, Kind::Held, "open in another program", 0},
             Case{{ENOSYS, 0, Some, 0, true}, Kind::Held, "open in another program", 0},
             Case{{0, 0, None, 0, false}, Kind::Free, nullptr, 0},
             // No locks kept, but the lease sees all.
             Case{{EOPNOTSUPP, ENOLCK, None, 0, false}, Kind::Free, nullptr, 0},
             // The document portal: no flock(); record locks passed on, or not.
             Case{{ENOSYS, 0, None, 0, true}, Kind::CannotTell, "FUSE", 0},
             Case{{ENOSYS, ENOSYS, None, 0, true}, Kind::CannotTell, "FUSE", 0},
             Case{{0, 0, None, 0, true}, Kind::CannotTell, "FUSE", 0},
             Case{{0, 0, Unknown, EACCES, false}, Kind::CannotTell, "another user", 0},
             Case{{0, 0, Unknown, EINVAL, false}, Kind::CannotTell, "file system", 0},
             Case{{EIO, 0, Unknown, 0, false}, Kind::LockFailed, nullptr, EIO},
             Case{{0, EIO, Unknown, 0, false}, Kind::LockFailed, nullptr, EIO},
         }) {
        SCOPED_TRACE(::testing::Message()
                     << "lock " << c.facts.lockErrno << ", record lock " << c.facts.recordLockErrno
                     << ", lease " << static_cast<int>(c.facts.lease) << ", FUSE "
                     << c.facts.throughFuse);
        const OpenerVerdict verdict = JudgeOpeners(c.facts);
        EXPECT_EQ(verdict.kind, c.kind);
        EXPECT_EQ(verdict.errnum, c.errnum);
        if (c.why == nullptr) {
            // Free has nothing to explain; a failed lock is told by its errno.
            EXPECT_EQ(verdict.why, "");
        } else {
            EXPECT_NE(verdict.why.find(c.why), std::string::npos) << verdict.why;
        }
    }
}
