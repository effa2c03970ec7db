// Another program's hold on the file (a lock, an open) is number 75; a file
// that may not be changed (permissions, a read-only mount, an immutable file)
// is 70.
#include "platform/posix/ErrnoError.h"
#include "platform/posix/OtherOpeners.h"
#include "platform/posix/PortalMounts.h"
#include "platform/posix/PosixFileLayer.h"

#include "Caught.h"
#include "ChildProcess.h"
#include "TempDir.h"
#include "tests/support/Immutable.h"
#include "tests/support/LockHolder.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <grp.h>
#include <linux/fs.h>
#include <sched.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/mount.h>
#include <sys/stat.h>

using namespace koravel;
using koravel::testing::SetImmutable;

namespace {

constexpr int ChildCannotSetUp = 200;

class PosixFileLayerAccess : public ::testing::Test {
  protected:
    TempDir dir;
    PosixFileLayer layer;
    std::string image = dir.WriteFile("image.bin", "12345");
};

TEST_F(PosixFileLayerAccess, ALockHeldByAnotherProcessIsRefused) {
    koravel::testing::LockHolder holder(image); // throws when it cannot take the lock
    const Caught refused = Catch([&] { layer.Open(1, image, OpenMode::ReadWrite); });
    EXPECT_EQ(refused.number, err::PathFileAccess);
    EXPECT_NE(refused.description.find("locked"), std::string::npos) << refused.description;
    EXPECT_NO_THROW(layer.Open(2, image, OpenMode::ReadOnly)); // reading needs no lock
    layer.Close(2);

    holder.Release();
    EXPECT_NO_THROW(layer.Open(1, image, OpenMode::ReadWrite));
}

// The lock that the document portal passes on to the file behind it.
TEST_F(PosixFileLayerAccess, ARecordLockHeldByAnotherProcessIsSeenAsALock) {
    koravel::testing::LockHolder holder(image, koravel::testing::LockHolder::Hold::RecordLock);
    const int fd = ::open(image.c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    const OpenerFacts facts = CheckOpeners(fd);
    ::close(fd);
    EXPECT_EQ(facts.lockErrno, 0);
    EXPECT_TRUE(facts.recordLockErrno == EAGAIN || facts.recordLockErrno == EACCES)
        << std::strerror(facts.recordLockErrno);
    EXPECT_EQ(JudgeOpeners(facts).kind, OpenerVerdict::Kind::Held);
}

TEST_F(PosixFileLayerAccess, OurLockKeepsOtherHandlesOutUntilClosed) {
    PosixFileLayer other;
    layer.Open(1, image, OpenMode::ReadWrite);
    EXPECT_EQ(Catch([&] { other.Open(1, image, OpenMode::ReadWrite); }).number,
              err::PathFileAccess);
    const int refusedElsewhere = RunInChild([&] {
        const int fd = ::open(image.c_str(), O_RDWR | O_CLOEXEC);
        struct flock whole {};
        whole.l_type = F_WRLCK;
        whole.l_whence = SEEK_SET;
        return fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 && errno == EWOULDBLOCK &&
               ::fcntl(fd, F_SETLK, &whole) != 0 && (errno == EAGAIN || errno == EACCES);
    });
    EXPECT_EQ(refusedElsewhere, 1) << "another process could take a lock";
    layer.Close(1);
    EXPECT_NO_THROW(other.Open(1, image, OpenMode::ReadWrite));
}

TEST_F(PosixFileLayerAccess, DestroyingTheLayerReleasesItsLocks) {
    {
        PosixFileLayer gone;
        gone.Open(3, image, OpenMode::ReadWrite);
    }
    EXPECT_NO_THROW(layer.Open(1, image, OpenMode::ReadWrite));
}

TEST_F(PosixFileLayerAccess, AReadOnlyHandleRefusesWrites) {
    layer.Open(1, image, OpenMode::ReadOnly);
    EXPECT_EQ(Catch([&] { layer.WriteText(1, 1, "x"); }).number, err::PathFileAccess);
    layer.Close(1);
    EXPECT_EQ(TempDir::ReadFile(image), "12345");
}

TEST_F(PosixFileLayerAccess, AFileAnotherProgramHasOpenWithoutALockIsRefused) {
    using Hold = koravel::testing::LockHolder::Hold;
    for (const Hold hold : {Hold::OpenForWriting, Hold::OpenForReading}) {
        SCOPED_TRACE(hold == Hold::OpenForWriting ? "open for writing" : "open for reading");
        koravel::testing::LockHolder holder(image, hold);
        const Caught refused = Catch([&] { layer.Open(1, image, OpenMode::ReadWrite); });
        EXPECT_EQ(refused.number, err::PathFileAccess);
        EXPECT_NE(refused.description.find("open in another program"), std::string::npos)
            << refused.description;
        EXPECT_NO_THROW(layer.Open(2, image, OpenMode::ReadOnly)); // reading is never refused
        layer.Close(2);

        holder.Release();
        EXPECT_NO_THROW(layer.Open(1, image, OpenMode::ReadWrite));
        layer.Close(1);
    }
}

TEST_F(PosixFileLayerAccess, AFileOfOurOwnOnALocalDiskIsOneWhereOthersAreSeen) {
    layer.Open(1, image, OpenMode::ReadWrite);
    EXPECT_EQ(layer.WhyOtherOpenersUnseen(1), std::nullopt);
}

TEST_F(PosixFileLayerAccess, OurOwnSecondHandleCountsAsAnotherOpener) {
    PosixFileLayer reader;
    reader.Open(1, image, OpenMode::ReadOnly);
    EXPECT_EQ(Catch([&] { layer.Open(1, image, OpenMode::ReadWrite); }).number,
              err::PathFileAccess);
    reader.Close(1);
    EXPECT_NO_THROW(layer.Open(1, image, OpenMode::ReadWrite));
}

TEST_F(PosixFileLayerAccess, AFileWeMayWriteButDoNotOwnIsOpenedOnTheLockAlone) {
    // Leases are for the file's owner: for anyone else the system cannot tell
    // who else has it open, which is no reason to refuse it, but is said.
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(image.c_str(), 0666), 0);
    const int number = RunInChild([&] {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return ChildCannotSetUp;
        }
        struct stat st {};
        if (::stat(image.c_str(), &st) != 0 || ::geteuid() == st.st_uid) {
            return ChildCannotSetUp + 1;
        }
        PosixFileLayer child;
        child.Open(1, image, OpenMode::ReadWrite);
        const auto unseen = child.WhyOtherOpenersUnseen(1);
        if (!unseen || unseen->find("another user") == std::string::npos) {
            return 3; // the patch would not say that nobody else could be seen
        }
        child.WriteText(1, 1, "9");
        child.Close(1);
        return 0;
    });
    if (number == ChildCannotSetUp) {
        GTEST_SKIP() << "running as root and cannot switch to an unprivileged user";
    }
    if (number == ChildCannotSetUp + 1) {
        GTEST_SKIP() << "the test user owns the file, so there is no foreign owner to test";
    }
    EXPECT_EQ(number, 0);
    EXPECT_EQ(TempDir::ReadFile(image), "92345");
}

TEST_F(PosixFileLayerAccess, ALeaseBreakNeverEndsTheProgram) {
    // Another program opens the file while the lease is held: its open waits,
    // and the kernel signals us. The child that holds the lease must live on.
    const int survived = RunInChild([&] {
        const int fd = ::open(image.c_str(), O_RDWR | O_CLOEXEC);
        if (fd < 0 || TakeWriteLease(fd) != OtherOpeners::None) {
            return ChildCannotSetUp;
        }
        const pid_t opener = ::fork();
        if (opener == 0) {
            const int other = ::open(image.c_str(), O_RDONLY);
            ::_exit(other >= 0 ? 0 : 1);
        }
        ::usleep(300'000); // the open is waiting and the signal has come
        ReleaseLease(fd);
        int status = 0;
        ::waitpid(opener, &status, 0);
        return WIFEXITED(status) && WEXITSTATUS(status) == 0 ? 7 : 8;
    });
    if (survived == ChildCannotSetUp) {
        GTEST_SKIP() << "this file system or user takes no leases";
    }
    EXPECT_EQ(survived, 7) << "the lease holder did not survive the lease break";
}

TEST_F(PosixFileLayerAccess, AFileWithoutWritePermissionIsRefused) {
    // Root ignores permission bits, so the check runs as "nobody" then.
    ASSERT_EQ(::chmod(dir.Path().c_str(), 0755), 0);
    ASSERT_EQ(::chmod(image.c_str(), 0444), 0);
    const int number = RunInChild([&] {
        if (::geteuid() == 0 &&
            (::setgroups(0, nullptr) != 0 || ::setgid(65534) != 0 || ::setuid(65534) != 0)) {
            return ChildCannotSetUp;
        }
        PosixFileLayer child;
        child.Open(1, image, OpenMode::ReadWrite);
        return 0;
    });
    if (number == ChildCannotSetUp) {
        GTEST_SKIP() << "running as root and cannot switch to an unprivileged user";
    }
    EXPECT_EQ(number, err::PermissionDenied);
}

TEST_F(PosixFileLayerAccess, AReadOnlyMountIsRefused) {
    // The mount lives in a private namespace of the child and dies with it.
    // The child tells which step of setting it up failed, and why.
    const std::string folder = dir.Path().string();
    int why[2];
    ASSERT_EQ(::pipe(why), 0);
    const int number = RunInChild([&] {
        ::close(why[0]);
        const auto cannot = [&](const char* step) {
            const std::string text = std::string(step) + ": " + std::strerror(errno);
            (void)!::write(why[1], text.data(), text.size());
            return ChildCannotSetUp;
        };
        if (::unshare(CLONE_NEWNS) != 0) {
            return cannot("unshare(CLONE_NEWNS) failed, which needs CAP_SYS_ADMIN");
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            return cannot(errno == EINVAL ? "making / private failed: / is not a mount point in "
                                            "this root (a chroot?)"
                                          : "making / private failed");
        }
        if (::mount(folder.c_str(), folder.c_str(), nullptr, MS_BIND, nullptr) != 0) {
            return cannot("bind-mounting the test folder failed");
        }
        if (::mount(nullptr, folder.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY, nullptr) !=
            0) {
            return cannot("remounting the test folder read-only failed");
        }
        PosixFileLayer child;
        child.Open(1, image, OpenMode::ReadWrite);
        return 0;
    });
    ::close(why[1]);
    char text[512] = {};
    const ssize_t got = ::read(why[0], text, sizeof(text) - 1);
    ::close(why[0]);
    if (number == ChildCannotSetUp) {
        GTEST_SKIP() << "cannot make a read-only mount here: "
                     << (got > 0 ? std::string(text, static_cast<std::size_t>(got))
                                 : std::string("the child gave no reason"));
    }
    EXPECT_EQ(number, err::PermissionDenied);
}

TEST_F(PosixFileLayerAccess, AnImmutableFileIsRefused) {
    if (!SetImmutable(image, true)) {
        GTEST_SKIP() << "this file system or user cannot mark files immutable";
    }
    const Caught refused = Catch([&] { layer.Open(1, image, OpenMode::ReadWrite); });
    const Caught reading = Catch([&] { layer.Open(2, image, OpenMode::ReadOnly); });
    layer.Close(2);
    ASSERT_TRUE(SetImmutable(image, false));
    EXPECT_EQ(refused.number, err::PermissionDenied);
    EXPECT_NE(refused.description.find("immutable"), std::string::npos) << refused.description;
    EXPECT_EQ(reading.number, 0);
}

TEST(ErrnoError, NamesTheNumbersForFailuresTooRareToProvoke) {
    EXPECT_EQ(ErrnoError(ENOSPC).Number(), err::DiskFull);
    EXPECT_EQ(ErrnoError(EDQUOT).Number(), err::DiskFull);
    EXPECT_EQ(ErrnoError(EMFILE).Number(), err::TooManyFiles);
    EXPECT_EQ(ErrnoError(ENFILE).Number(), err::TooManyFiles);
    EXPECT_EQ(ErrnoError(ETXTBSY).Number(), err::PathFileAccess);
    const FileError io = ErrnoError(EIO);
    EXPECT_EQ(io.Number(), err::DeviceIO);
    EXPECT_NE(io.Description().find("Input/output error"), std::string::npos);
}

// Only another program's hold on the file is 75; a file that may not be
// changed is 70, and when writing, the description says what to do.
TEST(ErrnoError, AFileThatMayNotBeChangedIsNotBlamedOnAnotherProgram) {
    struct Case {
        int errnum;
        int number;
        const char* readingSays;
        const char* writingSays;
    };
    for (const Case& c : {Case{EACCES, err::PermissionDenied, "permissions", "copy it"},
                          Case{EPERM, err::PermissionDenied, "immutable", "chattr"},
                          Case{EROFS, err::PermissionDenied, "read-only", "patch the copy"},
                          Case{ETXTBSY, err::PathFileAccess, "running", "running"}}) {
        SCOPED_TRACE(c.errnum);
        const FileError reading = ErrnoError(c.errnum);
        const FileError writing = ErrnoWriteError(c.errnum);
        EXPECT_EQ(reading.Number(), c.number);
        EXPECT_EQ(writing.Number(), c.number);
        EXPECT_NE(reading.Description().find(c.readingSays), std::string::npos)
            << reading.Description();
        EXPECT_NE(writing.Description().find(c.writingSays), std::string::npos)
            << writing.Description();
    }
}

} // namespace

// A file the document portal handed over for reading only is refused for what
// it is, not for its user's permissions.
TEST(ErrnoError, TheDocumentPortalsMountIsToldFromOtherFuseMounts) {
    const std::string mountinfo =
        "24 1 0:22 / /run rw,nosuid - tmpfs tmpfs rw\n"
        "61 24 0:51 / /run/user/1000/doc rw,nosuid,nodev shared:33 - fuse.portal portal "
        "rw,user_id=1000\n"
        "62 24 0:52 / /home/me/my\\040dumps rw - fuse.sshfs me@host:/dumps rw\n"
        "63 24 0:53 /by-app/io.github.koravel.Koravel /run/flatpak/doc rw - fuse.portal portal "
        "rw\n";
    EXPECT_TRUE(IsDocumentPortal(0, 51, mountinfo));
    EXPECT_TRUE(IsDocumentPortal(0, 53, mountinfo));
    EXPECT_FALSE(IsDocumentPortal(0, 52, mountinfo)); // another FUSE file system
    EXPECT_FALSE(IsDocumentPortal(0, 22, mountinfo));
    EXPECT_FALSE(IsDocumentPortal(5, 1, mountinfo));
    EXPECT_FALSE(OnDocumentPortal("/proc/self/mountinfo")); // this process's own mounts

    const FileError refused = PortalReadOnlyError();
    EXPECT_EQ(refused.Number(), err::PermissionDenied);
    EXPECT_NE(refused.Description().find("for reading only"), std::string::npos);
}
