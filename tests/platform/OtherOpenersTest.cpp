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
    };
    for (const Case& c : {
             Case{{EWOULDBLOCK, Unknown, 0, false}, Kind::Held, "locked by another program"},
             Case{{0, Some, 0, false}, Kind::Held, "open in another program"},
             Case{{ENOSYS, Some, 0, true}, Kind::Held, "open in another program"}, // via the portal
             Case{{0, None, 0, false}, Kind::Free, nullptr},
             Case{{EOPNOTSUPP, None, 0, false},
                  Kind::Free,
                  nullptr}, // no locks, but the lease sees all
             Case{{ENOSYS, None, 0, true}, Kind::CannotTell, "FUSE"}, // the document portal
             Case{{0, None, 0, true}, Kind::CannotTell, "FUSE"},
             Case{{0, Unknown, EACCES, false}, Kind::CannotTell, "another user"},
             Case{{0, Unknown, EINVAL, false}, Kind::CannotTell, "file system"},
             Case{{EIO, Unknown, 0, false}, Kind::LockFailed, nullptr},
         }) {
        SCOPED_TRACE(::testing::Message()
                     << "lock " << c.facts.lockErrno << ", lease "
                     << static_cast<int>(c.facts.lease) << ", FUSE " << c.facts.throughFuse);
        const OpenerVerdict verdict = JudgeOpeners(c.facts);
        EXPECT_EQ(verdict.kind, c.kind);
        if (c.why == nullptr) {
            // Free has nothing to explain; a failed lock is told by its own errno.
            EXPECT_EQ(verdict.why, "");
        } else {
            EXPECT_NE(verdict.why.find(c.why), std::string::npos) << verdict.why;
        }
    }
}
