// What the lock, the lease and the file system together say about other
// programs that have a file open, as measured through a bind mount and
// through the document portal's FUSE file system.
#include "platform/posix/OtherOpeners.h"

#include <gtest/gtest.h>

#include <cerrno>

using namespace koravel;
using Kind = OpenerVerdict::Kind;

namespace {

OpenerFacts Facts(int lockErrno, OtherOpeners lease, int leaseErrno, bool throughFuse) {
    return OpenerFacts{lockErrno, lease, leaseErrno, throughFuse};
}

TEST(JudgeOpeners, AnotherProgramSeenByTheLockOrTheLeaseStopsTheWrite) {
    const OpenerVerdict locked = JudgeOpeners(Facts(EWOULDBLOCK, OtherOpeners::Unknown, 0, false));
    EXPECT_EQ(locked.kind, Kind::Held);
    EXPECT_NE(locked.why.find("locked by another program"), std::string::npos);
    // Through the portal the lock is not kept, but an opener that came the
    // same way (another sandboxed program) still shows in the lease.
    for (const bool fuse : {false, true}) {
        const OpenerVerdict open =
            JudgeOpeners(Facts(fuse ? ENOSYS : 0, OtherOpeners::Some, 0, fuse));
        EXPECT_EQ(open.kind, Kind::Held);
        EXPECT_NE(open.why.find("open in another program"), std::string::npos);
    }
}

TEST(JudgeOpeners, AGrantedLeaseMeansFreeOnlyWhereTheKernelSeesEveryOpener) {
    EXPECT_EQ(JudgeOpeners(Facts(0, OtherOpeners::None, 0, false)).kind, Kind::Free);
    // A file system that keeps no locks, where the lease still sees everyone.
    EXPECT_EQ(JudgeOpeners(Facts(EOPNOTSUPP, OtherOpeners::None, 0, false)).kind, Kind::Free);
    // The document portal grants the lease while a program outside has the
    // file behind it open: that is no sign of a free file.
    const OpenerVerdict portal = JudgeOpeners(Facts(ENOSYS, OtherOpeners::None, 0, true));
    EXPECT_EQ(portal.kind, Kind::CannotTell);
    EXPECT_NE(portal.why.find("FUSE"), std::string::npos) << portal.why;
    EXPECT_EQ(JudgeOpeners(Facts(0, OtherOpeners::None, 0, true)).kind, Kind::CannotTell);
}

TEST(JudgeOpeners, ALeaseThatCannotBeTakenSaysWhy) {
    const OpenerVerdict foreign = JudgeOpeners(Facts(0, OtherOpeners::Unknown, EACCES, false));
    EXPECT_EQ(foreign.kind, Kind::CannotTell);
    EXPECT_NE(foreign.why.find("another user"), std::string::npos) << foreign.why;
    const OpenerVerdict noLeases = JudgeOpeners(Facts(0, OtherOpeners::Unknown, EINVAL, false));
    EXPECT_EQ(noLeases.kind, Kind::CannotTell);
    EXPECT_NE(noLeases.why.find("file system"), std::string::npos) << noLeases.why;
}

TEST(JudgeOpeners, ALockThatFailsForItsOwnReasonIsAFailureNotAHolder) {
    EXPECT_EQ(JudgeOpeners(Facts(EIO, OtherOpeners::Unknown, 0, false)).kind, Kind::LockFailed);
    EXPECT_EQ(JudgeOpeners(Facts(EBADF, OtherOpeners::None, 0, true)).kind, Kind::LockFailed);
}

} // namespace
