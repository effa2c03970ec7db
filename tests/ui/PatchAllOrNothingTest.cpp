// Patch is all or nothing: whichever read, write, flush or close fails, the
// image ends as it was, or the message says exactly what each copy holds.
#include "tests/ui/PatchMessages.h"

namespace koravel {
namespace {

using testing::Bytes;
using testing::HeldMessage;
using testing::MakeFlashImage;
using testing::ShownMessage;
using testing::TempFile;
using testing::UnchangedMessage;
using Op = testing::FaultyFileLayer::Op;
using Shown = std::vector<ShownMessage>;

const FileError DeviceError(57, "Device I/O error");
const FileError DiskFull(61, "Disk full");
const FileError Refused(75, "Path/File access error: the file is open in another program");
const FileError Denied(70, "Permission denied: the file is read-only");
const std::string DeviceErrorLine = "57 - Device I/O error";
const std::string RefusedLine = "75 - Path/File access error: the file is open in another program";

// Positions from 1 of the six codes, in the order Patch writes them.
const std::vector<std::int64_t> WriteOrder{0x1A003, 0x1A004, 0x1A005, 0x1A0A3, 0x1A0A4, 0x1A0A5};

const char* const StillOriginal = "still holds the original settings";
const char* const New = "holds the new settings";
const char* const Mixed = "holds some of the new settings and some of the original ones";
const char* const Unconfirmed = "may be damaged, as the system could not confirm what it holds";

ShownMessage DamageMessage(const char* primary, const char* mirror, const std::string& patching,
                           const std::string& puttingBack) {
    return {std::string("Cannot patch the flash file, and Koravel could not put back what it had "
                        "written.\r\n\r\nIts primary copy of the settings ") +
                primary + ", and its mirror copy " + mirror +
                ". Restore the file from a backup before you use it.\r\n\r\nPatching: " + patching +
                "\r\nPutting back: " + puttingBack,
            MsgIcon::Critical, "Error"};
}

// Every code differs between what the image holds (Europe, default swirl,
// Spanish, PAL) and what the lists show, so each byte tells which it holds.
class PatchAllOrNothing : public testing::CommandFixture {
  protected:
    void SetUp() override {
        CommandFixture::SetUp();
        Choose("Japan", "Black swirl", "PAL_M", "German (Deutsch)");
    }
    static Bytes Before() { return MakeFlashImage('2', '4', '1'); }
    // The image after a run in which the first `written` codes took.
    static Bytes WithNewCodes(std::size_t written) {
        Bytes image = Before();
        const char codes[] = {'X', '2', '2', 'X', '2', '2'};
        for (std::size_t i = 0; i < written; ++i) {
            image[testing::SettingOffsets[i]] = static_cast<std::uint8_t>(codes[i]);
        }
        return image;
    }
    // The image as it was, and no fault, count or message left from a run before.
    void Afresh() {
        file.Write(Before());
        files.Reset();
        messages.shown.clear();
    }

    TempFile file{Before()};
};

struct Step {
    Op op;
    int n;
};

// Every call Patch makes on the image, in order: the open, the length, nine
// reads of the console's name and six of the codes, six writes, the flush and
// the close.
std::vector<Step> PatchsWay() {
    std::vector<Step> steps{{Op::Open, 1}, {Op::Length, 1}};
    for (int n = 1; n <= 15; ++n) {
        steps.push_back({Op::Read, n});
    }
    for (int n = 1; n <= 6; ++n) {
        steps.push_back({Op::Write, n});
    }
    steps.push_back({Op::Flush, 1});
    steps.push_back({Op::Close, 1});
    return steps;
}

std::string Name(const Step& step) {
    static const char* const names[] = {"open", "read", "write", "flush", "close", "length"};
    return std::string(names[static_cast<int>(step.op)]) + " " + std::to_string(step.n);
}

TEST_F(PatchAllOrNothing, AFailureAnywhereLeavesTheImageAsItWasAndSaysSo) {
    for (const Step& step : PatchsWay()) {
        // Only 75 blames another program; 70 says the file may not be changed.
        const std::pair<FileError, ShownMessage> outcomes[] = {
            {DeviceError, UnchangedMessage(DeviceErrorLine)},
            {Refused, HeldMessage},
            {Denied, testing::DeniedMessage("70 - Permission denied: the file is read-only")}};
        for (const auto& [error, shown] : outcomes) {
            SCOPED_TRACE(Name(step) + " fails with " + std::to_string(error.Number()));
            Afresh();
            files.FailAt(step.op, step.n, error);
            Patch(file.PathText());
            EXPECT_EQ(messages.shown, Shown{shown});
            EXPECT_EQ(file.Read(), Before());
            EXPECT_TRUE(NumberOneIsFree(file.PathText()));
        }
    }
}

TEST_F(PatchAllOrNothing, PutsBackWhatItWroteThenFlushesAndCloses) {
    for (int n = 1; n <= 6; ++n) {
        SCOPED_TRACE("write " + std::to_string(n) + " fails");
        Afresh();
        files.FailAt(Op::Write, n, DeviceError);
        Patch(file.PathText());
        // The writes that took, then the original bytes back wherever a write
        // was tried, in the same order.
        std::vector<std::int64_t> expected(WriteOrder.begin(), WriteOrder.begin() + n - 1);
        expected.insert(expected.end(), WriteOrder.begin(), WriteOrder.begin() + n);
        EXPECT_EQ(files.writtenPositions, expected);
        EXPECT_EQ(files.calls[Op::Flush], 1);
        EXPECT_EQ(files.calls[Op::Close], 1);
        EXPECT_EQ(file.Read(), Before());
    }

    // After a failed close the image is opened again to be put back.
    Afresh();
    files.FailAt(Op::Close, 1, DeviceError);
    Patch(file.PathText());
    EXPECT_EQ(files.calls[Op::Open], 2);
    EXPECT_EQ(files.writtenPositions.size(), 12u);
    EXPECT_EQ(files.calls[Op::Flush], 2);
    EXPECT_EQ(files.calls[Op::Close], 2);
    EXPECT_EQ(file.Read(), Before());
    EXPECT_EQ(messages.shown, Shown{UnchangedMessage(DeviceErrorLine)});
}

TEST_F(PatchAllOrNothing, WhenPuttingBackFailsTooTheMessageSaysWhatEachCopyHolds) {
    struct Case {
        int failingWrite;
        const char* primary;
        const char* mirror;
    };
    for (const Case& c : {Case{2, Mixed, StillOriginal}, Case{3, Mixed, StillOriginal},
                          Case{4, New, StillOriginal}, Case{5, New, Mixed}, Case{6, New, Mixed}}) {
        SCOPED_TRACE("write " + std::to_string(c.failingWrite) + " fails, and every one after");
        Afresh();
        files.FailAt(Op::Write, c.failingWrite, DeviceError);
        files.FailFrom(Op::Write, c.failingWrite + 1, DiskFull);
        Patch(file.PathText());
        EXPECT_EQ(messages.shown,
                  Shown{DamageMessage(c.primary, c.mirror, DeviceErrorLine, "61 - Disk full")});
        EXPECT_EQ(file.Read(), WithNewCodes(static_cast<std::size_t>(c.failingWrite - 1)));
        EXPECT_TRUE(NumberOneIsFree(file.PathText()));
    }

    // A failed first write has changed nothing, even if putting back fails.
    Afresh();
    files.FailFrom(Op::Write, 1, DeviceError);
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, Shown{UnchangedMessage(DeviceErrorLine)});
    EXPECT_EQ(file.Read(), Before());
}

TEST_F(PatchAllOrNothing, AnAccessErrorAfterSomeWritesIsPutRightOrReportedAsDamage) {
    files.FailAt(Op::Write, 4, Refused);
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, Shown{HeldMessage});
    EXPECT_EQ(file.Read(), Before());

    // Refused again while putting the primary copy's region back: only the
    // language and broadcast codes return.
    Afresh();
    files.FailAt(Op::Write, 4, Refused);
    files.FailAt(Op::Write, 5, Refused);
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, Shown{DamageMessage(Mixed, StillOriginal, RefusedLine, RefusedLine)});
    EXPECT_EQ(file.Read(), WithNewCodes(1));
}

TEST_F(PatchAllOrNothing, AFlushThatKeepsFailingLeavesBothCopiesUnconfirmed) {
    files.FailFrom(Op::Flush, 1, DeviceError);
    Patch(file.PathText());
    EXPECT_EQ(messages.shown,
              Shown{DamageMessage(Unconfirmed, Unconfirmed, DeviceErrorLine, DeviceErrorLine)});
    EXPECT_TRUE(NumberOneIsFree(file.PathText()));
}

TEST_F(PatchAllOrNothing, AFailedCloseIsPutRightUnlessTheImageCannotBeOpenedAgain) {
    // Closing after putting back fails too: the flush before it confirmed the
    // original bytes.
    files.FailAt(Op::Close, 1, DeviceError);
    files.FailAt(Op::Close, 2, DeviceError);
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, Shown{UnchangedMessage(DeviceErrorLine)});
    EXPECT_EQ(file.Read(), Before());

    // The image cannot be opened again: the flush had confirmed the new codes,
    // so the file is patched after all, and the message says so.
    Afresh();
    files.FailAt(Op::Close, 1, DeviceError);
    files.FailAt(Op::Open, 2, Refused);
    Patch(file.PathText());
    const ShownMessage keptAfterAll{
        "Your flash file now holds the new settings in both copies, but the system reported a "
        "failure when Koravel closed it, and Koravel could not put the original settings back. "
        "Select the file again to check what it holds.\r\n\r\nPatching: " +
            DeviceErrorLine + "\r\nPutting back: " + RefusedLine,
        MsgIcon::Warning, "Error"};
    EXPECT_EQ(messages.shown, Shown{keptAfterAll});
    EXPECT_EQ(file.Read(), WithNewCodes(6));
    EXPECT_TRUE(NumberOneIsFree(file.PathText()));
}

TEST_F(PatchAllOrNothing, AFieldThatIsNotWrittenIsNotPutBack) {
    view.selected[ListBox::cboPatch1] = -1;  // no region code: four writes
    files.FailAt(Op::Write, 3, DeviceError); // the mirror's language
    files.FailFrom(Op::Write, 4, DiskFull);
    Patch(file.PathText());
    // Primary: language and broadcast new, the region as it was, which the new
    // settings leave alone; the mirror as it was.
    EXPECT_EQ(messages.shown,
              Shown{DamageMessage(New, StillOriginal, DeviceErrorLine, "61 - Disk full")});
    Bytes expected = Before();
    expected[0x1A003] = '2';
    expected[0x1A004] = '2';
    EXPECT_EQ(file.Read(), expected);
    EXPECT_EQ(files.writtenPositions, (std::vector<std::int64_t>{0x1A004, 0x1A005}));
}

} // namespace
} // namespace koravel
