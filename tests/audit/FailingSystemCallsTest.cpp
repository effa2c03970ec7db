// The program as it runs, with the system's calls on the image made to fail
// one at a time by a preloaded library: the image must end byte for byte as it
// was, and the message must say so; or, when putting it back fails too, say
// what each copy holds.

#include "tests/audit/ProcessRun.h"
#include "tests/support/FlashImage.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <optional>

namespace koravel::audit {
namespace {

using testing::Bytes;
using testing::MakeFlashImage;
using testing::TempFile;

struct Failure {
    const char* call; // pread, pwrite, fsync or close
    int at;           // the first call on the image to fail
    int count;        // how many fail from there; 0 for all
    int error;        // errno
};

// The image holds Europe, default swirl, Spanish, PAL; the driver picks Japan,
// Black swirl, PAL_M, German: every code differs.
Bytes Before() {
    return MakeFlashImage('2', '4', '1');
}

std::string PatchUnder(const TempFile& image, const std::optional<Failure>& failure) {
    std::string preload = KORAVEL_FAILING_CALLS;
#ifdef KORAVEL_PRELOAD_FIRST
    // A sanitizer's runtime, which must come before every other library.
    preload = std::string(KORAVEL_PRELOAD_FIRST) + ":" + preload;
#endif
    std::vector<std::string> argv{"/usr/bin/env", "QT_QPA_PLATFORM=offscreen",
                                  "LD_PRELOAD=" + preload};
    if (failure) {
        argv.push_back("KORAVEL_FAIL_FILE=" + std::filesystem::canonical(image.Path()).string());
        argv.push_back(std::string("KORAVEL_FAIL_CALL=") + failure->call);
        argv.push_back("KORAVEL_FAIL_AT=" + std::to_string(failure->at));
        argv.push_back("KORAVEL_FAIL_COUNT=" + std::to_string(failure->count));
        argv.push_back("KORAVEL_FAIL_ERRNO=" + std::to_string(failure->error));
    }
    argv.push_back(KORAVEL_PATCH_DRIVER);
    argv.push_back(image.Path().string());
    const ProcessResult run = RunProcess(argv, image.Folder());
    EXPECT_EQ(run.exitCode, 0) << run.err;
    return run.out;
}

const std::string Unchanged = "message: Error: Cannot patch the flash file. Nothing in it was "
                              "changed.\n\n";

TEST(FailingSystemCalls, WithoutAFailureTheImageIsPatched) {
    TempFile image(Before());
    EXPECT_EQ(PatchUnder(image, std::nullopt),
              "message: Information: Your flash file was patched successfully.\n");
    EXPECT_EQ(testing::DifferingOffsets(Before(), image.Read()),
              (std::vector<std::size_t>{0x1A002, 0x1A003, 0x1A004, 0x1A0A2, 0x1A0A3, 0x1A0A4}));
}

TEST(FailingSystemCalls, EachFailureLeavesTheImageAsItWasAndSaysSo) {
    const std::string io = "57 - Device I/O error: " + std::string(std::strerror(EIO)) + "\n";
    struct Case {
        Failure failure;
        std::string error;
    };
    std::vector<Case> cases;
    for (int n = 1; n <= 6; ++n) {
        cases.push_back({{"pwrite", n, 1, EIO}, io});
    }
    cases.push_back({{"pwrite", 3, 1, ENOSPC}, "61 - Disk full\n"});
    cases.push_back({{"pread", 1, 1, EIO}, io});  // the first letter of the console's name
    cases.push_back({{"pread", 15, 1, EIO}, io}); // the mirror's broadcast code
    cases.push_back({{"fsync", 1, 1, EIO}, io});
    cases.push_back({{"close", 1, 1, EIO}, io}); // after the fsync succeeded
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.failure.call) + " " + std::to_string(c.failure.at) +
                     " fails with errno " + std::to_string(c.failure.error));
        TempFile image(Before());
        EXPECT_EQ(PatchUnder(image, c.failure), Unchanged + c.error);
        EXPECT_EQ(image.Read(), Before());
    }
}

TEST(FailingSystemCalls, AFullDiskThatStaysFullIsReportedCopyByCopy) {
    TempFile image(Before());
    // The mirror's first write fails, and so does every write after it.
    EXPECT_EQ(PatchUnder(image, Failure{"pwrite", 4, 0, ENOSPC}),
              "message: Error: Cannot patch the flash file, and Koravel could not put back what "
              "it had written.\n\nIts primary copy of the settings holds the new settings, and "
              "its mirror copy still holds the original settings. Restore the file from a backup "
              "before you use it.\n\nPatching: 61 - Disk full\nPutting back: 61 - Disk full\n");
    Bytes expected = Before();
    expected[0x1A002] = 'X';
    expected[0x1A003] = '2';
    expected[0x1A004] = '2';
    EXPECT_EQ(image.Read(), expected);
}

} // namespace
} // namespace koravel::audit
