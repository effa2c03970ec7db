// Select and Patch run by the real handlers over the real file layer, traced
// with strace; every system call on the image is checked.

#include "tests/audit/ImageIoAudit.h"
#include "tests/audit/ProcessRun.h"
#include "tests/support/FlashImage.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace koravel::audit {
namespace {

using testing::Bytes;
using testing::MakeFlashImage;
using testing::TempFile;

std::string Joined(const std::vector<std::string>& findings) {
    std::string text;
    for (const std::string& finding : findings) {
        text += "\n  " + finding;
    }
    return text;
}

bool AnyContains(const std::vector<std::string>& findings, const std::string& part) {
    return std::any_of(findings.begin(), findings.end(), [&](const std::string& finding) {
        return finding.find(part) != std::string::npos;
    });
}

class TracedCommand : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto found = FindInPath("strace");
        if (!found) {
            GTEST_SKIP() << "strace is not installed (scripts/deps.sh installs it)";
        }
        strace_ = *found;
        // Containers often forbid ptrace; then there is nothing to audit with.
        TempFile scratch({});
        const ProcessResult probe =
            RunProcess({strace_, "-qq", "-o", "/dev/null", "--", "/bin/true"}, scratch.Folder());
        if (probe.exitCode != 0) {
            GTEST_SKIP() << "strace cannot trace here (is ptrace permitted?): " << probe.err;
        }
    }

    struct Traced {
        std::string shown;            // what the driver printed
        std::vector<Syscall> onImage; // every traced call that touched the image
    };

    // Runs the driver's `command` on the image under strace. Raw constants (-X raw)
    // let flags be compared with this system's own O_* and LOCK_* values; -y names
    // the file behind each descriptor.
    Traced Trace(const std::string& command, const TempFile& image, bool sloppy = false) {
        const std::string log = (image.Folder() / "strace.log").string();
        std::vector<std::string> argv{strace_, "-f",
                                      "-qq",   "-y",
                                      "-X",    "raw",
                                      "-e",    "trace=%file,%desc",
                                      "-e",    "signal=none",
                                      "-o",    log,
                                      "--",    KORAVEL_AUDIT_DRIVER,
                                      command, image.Path().string()};
        if (sloppy) {
            argv.push_back("--sloppy");
        }
        const ProcessResult run = RunProcess(argv, image.Folder());
        EXPECT_EQ(run.exitCode, 0) << run.err;
        const ImagePaths paths{image.Path().string(),
                               std::filesystem::canonical(image.Path()).string()};
        return {run.out, CallsOnImage(ParseStraceLog(ReadText(log)), paths)};
    }

    std::string strace_;
};

TEST_F(TracedCommand, SelectReadsTheThreeCodesAndNothingElse) {
    const Bytes before = MakeFlashImage('Z', '4', '1');
    TempFile image(before);
    const Traced traced = Trace("select", image);

    // The run did its work: the lists show what the image holds.
    EXPECT_EQ(traced.shown, "lists: Europe|Black swirl|PAL|Spanish (Espa\xC3\xB1ol)\n");
    const std::vector<std::string> findings = AuditSelect(traced.onImage);
    EXPECT_TRUE(findings.empty()) << Joined(findings);
    EXPECT_EQ(image.Read(), before);
}

TEST_F(TracedCommand, PatchReadsWhatItOverwritesThenWritesTheSixCodesUnderALockAndFlushesOnce) {
    Bytes expected = MakeFlashImage('1', '1', '0');
    TempFile image(expected);
    const Traced traced = Trace("patch", image);

    EXPECT_EQ(traced.shown, "lists: Europe|Black swirl|PAL_M|Italian (Italiano)\n"
                            "message: Information: Your flash file was patched successfully.\n");
    const std::vector<std::string> findings = AuditPatch(traced.onImage);
    EXPECT_TRUE(findings.empty()) << Joined(findings);
    // Region, language, broadcast of both copies, and no other byte.
    for (std::size_t copy : {0u, 3u}) {
        expected[testing::SettingOffsets[copy]] = 'Z';
        expected[testing::SettingOffsets[copy + 1]] = '5';
        expected[testing::SettingOffsets[copy + 2]] = '2';
    }
    EXPECT_EQ(image.Read(), expected);
}

// The same runs with a layer between the handlers and the file layer that
// reads more than it should and flushes twice: the audit must see it.
TEST_F(TracedCommand, CatchesExtraReadsAndASecondFlush) {
    TempFile selected(MakeFlashImage());
    const std::vector<std::string> selectFindings =
        AuditSelect(Trace("select", selected, true).onImage);
    EXPECT_TRUE(AnyContains(selectFindings, "6 pread64 calls, not 3")) << Joined(selectFindings);

    TempFile patched(MakeFlashImage());
    const std::vector<std::string> patchFindings =
        AuditPatch(Trace("patch", patched, true).onImage);
    // 15 reads of its own, each after a read of the first byte, and a read
    // before each of the six writes.
    EXPECT_TRUE(AnyContains(patchFindings, "36 pread64 calls, not 15")) << Joined(patchFindings);
    EXPECT_TRUE(AnyContains(patchFindings, "2 fsync/fdatasync calls, not 1"))
        << Joined(patchFindings);
}

} // namespace
} // namespace koravel::audit
