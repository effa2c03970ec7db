// The audit's rules on hand-made traces: each fault that the real file layer
// cannot be made to commit must still be caught.

#include "tests/audit/ImageIoAudit.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include <fcntl.h>
#include <sys/file.h>

namespace koravel::audit {
namespace {

const ImagePaths Image{"/t/flash.bin", "/t/flash.bin"};
const std::string Fd = "3</t/flash.bin>";

std::string Hex(long value) {
    char text[32];
    std::snprintf(text, sizeof text, "%#lx", value);
    return text;
}

std::string OpenLine(int flags) {
    return "7 openat(-100</w>, \"/t/flash.bin\", " + Hex(O_CLOEXEC | O_NONBLOCK | flags) +
           ") = " + Fd;
}

std::string ByteLine(const char* name, std::int64_t offset) {
    return "7 " + std::string(name) + "(" + Fd + ", \"Z\", 1, " + std::to_string(offset) + ") = 1";
}

std::string RecordLockLine(int type) {
    return "7 fcntl(" + Fd + ", " + Hex(F_OFD_SETLK) + ", {l_type=" + Hex(type) +
           ", l_whence=0, l_start=0, l_len=0}) = 0";
}

// Where the reads, the writes and the flush begin in a clean Patch trace.
constexpr std::ptrdiff_t FirstRead = 8;
constexpr std::ptrdiff_t FirstWrite = FirstRead + 15;
constexpr std::ptrdiff_t Flush = FirstWrite + 6;

// A clean Patch trace, as lines, for each test to spoil in one way.
std::vector<std::string> CleanPatch() {
    std::vector<std::string> lines{
        "7 newfstatat(-100</w>, \"/t/flash.bin\", {st_mode=0100644, ...}, 0) = 0",
        OpenLine(O_RDWR),
        "7 newfstatat(" + Fd + ", \"\", {st_mode=0100644, ...}, 0x1000) = 0",
        "7 flock(" + Fd + ", " + Hex(LOCK_EX | LOCK_NB) + ") = 0",
        RecordLockLine(F_WRLCK),
        "7 fcntl(" + Fd + ", " + Hex(F_SETSIG) + ", 23) = 0",
        "7 fcntl(" + Fd + ", " + Hex(F_SETLEASE) + ", " + Hex(F_WRLCK) + ") = 0",
        "7 fcntl(" + Fd + ", " + Hex(F_SETLEASE) + ", " + Hex(F_UNLCK) + ") = 0",
    };
    for (std::int64_t offset : PatchReadOffsets) {
        lines.push_back(ByteLine("pread64", offset));
    }
    for (std::int64_t offset : SettingOffsets) {
        lines.push_back(ByteLine("pwrite64", offset));
    }
    lines.push_back("7 fsync(" + Fd + ") = 0");
    lines.push_back("7 close(" + Fd + ") = 0");
    return lines;
}

std::vector<std::string> CleanSelect() {
    return {OpenLine(O_RDONLY), ByteLine("pread64", SettingOffsets[0]),
            ByteLine("pread64", SettingOffsets[1]), ByteLine("pread64", SettingOffsets[2]),
            "7 close(" + Fd + ") = 0"};
}

std::vector<Syscall> OnImage(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) {
        text += line + '\n';
    }
    return CallsOnImage(ParseStraceLog(text), Image);
}

bool Finds(const std::vector<std::string>& findings, const std::string& part) {
    return std::any_of(findings.begin(), findings.end(), [&](const std::string& finding) {
        return finding.find(part) != std::string::npos;
    });
}

TEST(ImageIoAudit, KeepsOnlyCallsOnTheImageFollowingDuplicatedDescriptors) {
    const std::vector<Syscall> calls = OnImage({
        "7 openat(-100</w>, \"/usr/lib/libc.so.6\", 0x80000) = 3</usr/lib/libc.so.6>",
        "7 close(3</usr/lib/libc.so.6>) = 0",
        OpenLine(O_RDONLY),
        "7 fcntl(" + Fd + ", 0 /* F_DUPFD */, 10) = 10</t/flash.bin>",
        "7 read(10</t/flash.bin>, \"\\377\", 1) = 1",
        "7 write(1</dev/pts/0>, \"lists\", 5) = 5",
    });
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[1].name, "fcntl");
    EXPECT_EQ(calls[2].name, "read");
}

TEST(ImageIoAudit, CleanTracesPass) {
    EXPECT_TRUE(AuditSelect(OnImage(CleanSelect())).empty());
    EXPECT_TRUE(AuditPatch(OnImage(CleanPatch())).empty());
}

TEST(ImageIoAudit, PatchAsksWhoElseHasTheImageOpenBeforeWriting) {
    std::vector<std::string> lines = CleanPatch();
    lines.erase(lines.begin() + 6, lines.begin() + 8); // no lease at all
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "0 write leases taken"));

    lines = CleanPatch();
    // given back after the first write
    std::rotate(lines.begin() + 7, lines.begin() + 8, lines.begin() + FirstWrite + 1);
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "between the lock and the writes"));

    lines = CleanPatch();
    lines.insert(lines.begin() + 8, "7 fcntl(" + Fd + ", " + Hex(F_SETFL) + ", 0x800) = 0");
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "neither the record lock nor the lease probe"));

    lines = CleanPatch();
    lines.erase(lines.begin() + 4); // no record lock
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "0 record locks, not 1"));

    lines = CleanPatch();
    lines[4] = RecordLockLine(F_RDLCK); // a read lock keeps no other writer out
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "not a granted write record lock"));

    lines = CleanPatch();
    // taken after the first write
    std::rotate(lines.begin() + 4, lines.begin() + 5, lines.begin() + FirstWrite + 1);
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "record lock is not taken between"));
}

TEST(ImageIoAudit, SelectMustOpenReadOnlyAndOnlyRead) {
    std::vector<std::string> lines = CleanSelect();
    lines[0] = OpenLine(O_RDWR);
    EXPECT_TRUE(Finds(AuditSelect(OnImage(lines)), "not opened O_RDONLY"));

    lines = CleanSelect();
    lines.insert(lines.end() - 1, "7 flock(" + Fd + ", " + Hex(LOCK_SH) + ") = 0");
    lines.insert(lines.end() - 1, ByteLine("pwrite64", SettingOffsets[0]));
    lines.insert(lines.end() - 1, "7 fsync(" + Fd + ") = 0");
    const std::vector<std::string> findings = AuditSelect(OnImage(lines));
    EXPECT_TRUE(Finds(findings, "must not touch the image: flock("));
    EXPECT_TRUE(Finds(findings, "must not touch the image: pwrite64("));
    EXPECT_TRUE(Finds(findings, "must not touch the image: fsync("));
}

TEST(ImageIoAudit, SelectReadsEachCodeOnceAsOneByteInOrder) {
    std::vector<std::string> lines = CleanSelect();
    std::swap(lines[1], lines[2]);
    EXPECT_TRUE(Finds(AuditSelect(OnImage(lines)), "byte 1 at the wrong offset"));

    lines = CleanSelect();
    lines[3] = "7 pread64(" + Fd + ", \"Z\\377\", 2, 106500) = 2";
    EXPECT_TRUE(Finds(AuditSelect(OnImage(lines)), "not a single byte"));

    lines = CleanSelect();
    lines.insert(lines.begin() + 1, "7 mmap(NULL, 131072, 0x1, 0x2, " + Fd + ", 0) = 0x7f00");
    EXPECT_TRUE(Finds(AuditSelect(OnImage(lines)), "must not touch the image: mmap("));
}

TEST(ImageIoAudit, PatchMustNeitherTruncateNorCreateNorOpenTwice) {
    std::vector<std::string> lines = CleanPatch();
    lines[1] = OpenLine(O_RDWR | O_TRUNC);
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "O_TRUNC or O_CREAT"));

    lines[1] = OpenLine(O_WRONLY | O_CREAT);
    const std::vector<std::string> findings = AuditPatch(OnImage(lines));
    EXPECT_TRUE(Finds(findings, "O_TRUNC or O_CREAT"));
    EXPECT_TRUE(Finds(findings, "not opened O_RDWR"));

    lines = CleanPatch();
    lines.insert(lines.begin() + 2, OpenLine(O_RDONLY));
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "opened 2 times"));

    lines = CleanPatch();
    lines.insert(lines.end() - 2, "7 ftruncate(" + Fd + ", 131072) = 0");
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "must not touch the image: ftruncate("));
}

TEST(ImageIoAudit, PatchLocksExclusivelyWithoutWaitingBeforeWriting) {
    std::vector<std::string> lines = CleanPatch();
    lines[3] = "7 flock(" + Fd + ", " + Hex(LOCK_EX) + ") = 0";
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "not a granted LOCK_EX|LOCK_NB"));

    lines = CleanPatch();
    // the lock after the lease probe, the reads and the first write
    std::rotate(lines.begin() + 3, lines.begin() + 4, lines.begin() + FirstWrite + 2);
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "between the open and the first write"));

    lines = CleanPatch();
    lines.erase(lines.begin() + 3);
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "0 flock calls, not 1"));
}

TEST(ImageIoAudit, PatchWritesTheSixBytesInOrderThenFlushesOnceThenCloses) {
    std::vector<std::string> lines = CleanPatch();
    std::swap(lines[FirstWrite], lines[FirstWrite + 3]); // the mirror's region first
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "byte 1 at the wrong offset"));

    lines = CleanPatch();
    lines.erase(lines.begin() + FirstWrite + 5); // the mirror's broadcast is missing
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "5 pwrite64 calls, not 6"));

    lines = CleanPatch();
    lines.insert(lines.end() - 1, "7 fdatasync(" + Fd + ") = 0");
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "2 fsync/fdatasync calls, not 1"));

    lines = CleanPatch();
    std::swap(lines[Flush - 1], lines[Flush]); // the flush before the last write
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "flushed before the last write"));

    lines = CleanPatch();
    lines.pop_back();
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "not closed exactly once"));
}

TEST(ImageIoAudit, PatchReadsOnlyTheNameAndTheCodesOneByteEachBeforeWriting) {
    std::vector<std::string> lines = CleanPatch();
    lines.insert(lines.begin() + FirstRead, "7 read(" + Fd + ", \"\\377\", 4096) = 4096");
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "must not touch the image: read("));

    lines = CleanPatch();
    lines.insert(lines.begin() + FirstRead, ByteLine("pread64", 0));
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "16 pread64 calls, not 15"));

    lines = CleanPatch();
    lines[FirstRead] = "7 pread64(" + Fd + ", \"Dreamcast\", 9, 106501) = 9";
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "not a single byte"));

    lines = CleanPatch();
    lines.erase(lines.begin() + FirstRead + 9, lines.begin() + FirstWrite); // no code read
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "9 pread64 calls, not 15"));

    lines = CleanPatch();
    // the mirror's broadcast read after the first write
    std::rotate(lines.begin() + FirstWrite - 1, lines.begin() + FirstWrite,
                lines.begin() + FirstWrite + 1);
    EXPECT_TRUE(Finds(AuditPatch(OnImage(lines)), "read after the first write"));
}

} // namespace
} // namespace koravel::audit
