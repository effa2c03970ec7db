#include "tests/audit/StraceLog.h"

#include <gtest/gtest.h>

namespace koravel::audit {
namespace {

TEST(StraceLog, SplitsArgumentsAtTheTopLevelOnly) {
    const std::vector<Syscall> calls = ParseStraceLog(
        "41 newfstatat(-100</w/a, b>, \"/t/x, (y).bin\", {st_mode=0100644, st_size=5, ...}, "
        "0) = 0\n"
        "41 pwrite64(3</t/x.bin>, \"\\\",\", 2, 106498) = 2\n");
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].pid, 41);
    EXPECT_EQ(calls[0].name, "newfstatat");
    EXPECT_EQ(calls[0].args, (std::vector<std::string>{"-100</w/a, b>", "\"/t/x, (y).bin\"",
                                                       "{st_mode=0100644, st_size=5, ...}", "0"}));
    EXPECT_EQ(calls[0].result, "0");
    EXPECT_EQ(calls[1].args, (std::vector<std::string>{"3</t/x.bin>", "\"\\\",\"", "2", "106498"}));
}

TEST(StraceLog, JoinsInterruptedCallsPerThreadReadsPaddedPidsAndSkipsOtherLines) {
    const std::vector<Syscall> calls =
        ParseStraceLog("7 pread64(3</t/x.bin>,  <unfinished ...>\n"
                       "8 close(4</t/y.bin>) = 0\n"
                       "7 <... pread64 resumed>\"1\", 1, 106498) = 1\n"
                       "8 --- SIGCHLD {si_signo=SIGCHLD} ---\n"
                       "8 +++ exited with 0 +++\n"
                       "9     fsync(3</t/x.bin>) = -1 EIO (Input/output error)\n");
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0].name, "close");
    EXPECT_EQ(calls[1].name, "pread64");
    EXPECT_EQ(calls[1].args, (std::vector<std::string>{"3</t/x.bin>", "\"1\"", "1", "106498"}));
    EXPECT_EQ(calls[1].result, "1");
    EXPECT_EQ(calls[2].pid, 9);
    EXPECT_EQ(calls[2].name, "fsync");
    EXPECT_EQ(Number(calls[2].result), -1);
}

TEST(StraceLog, ReadsRawNumbersAndDescriptorPaths) {
    EXPECT_EQ(Number("0x80902"), 0x80902);
    EXPECT_EQ(Number("106498"), 106498);
    EXPECT_EQ(Number("-100</w>"), -100);
    EXPECT_EQ(Number("3</t/x.bin>"), 3);
    EXPECT_EQ(Number("\"3\""), std::nullopt);
    EXPECT_EQ(Number("0x6|0x1"), std::nullopt);

    EXPECT_EQ(AnnotatedPath("3</t/x.bin>"), "/t/x.bin");
    EXPECT_EQ(AnnotatedPath("-100</w>"), "/w");
    EXPECT_EQ(AnnotatedPath("\"</t/x.bin>\""), std::nullopt);
    EXPECT_EQ(AnnotatedPath("3"), std::nullopt);
}

} // namespace
} // namespace koravel::audit
