#include "tests/support/Immutable.h"
#include "tests/support/LockHolder.h"
#include "tests/ui/PatchMessages.h"

#include <sys/stat.h>

namespace koravel {
namespace {

using testing::Bytes;
using testing::HeldMessage;
using testing::MakeFlashImage;
using testing::MissingMessage;
using testing::PatchedMessage;
using testing::ShownMessage;
using testing::TempFile;

using PatchCommand = testing::CommandFixture;

TEST_F(PatchCommand, FifosAndDevicesAreRefusedAsMissing) {
    TempFile file(MakeFlashImage());
    const std::string fifo = testing::Utf8(file.Folder() / "pipe.bin");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& path : {fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(path);
        messages.shown.clear();
        Patch(path);
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{MissingMessage}));
    }
    EXPECT_EQ(files.calls[testing::FaultyFileLayer::Op::Open], 0);
}

TEST_F(PatchCommand, AnImageLockedByAnotherProgramIsLeftAloneUntilItLetsGo) {
    const Bytes before = MakeFlashImage('1', '1', '0');
    TempFile file(before);
    testing::LockHolder holder(file.PathText());
    Choose("Europe", "default swirl", "PAL",
           "French (Fran\xC3\xA7"
           "ais)");
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{HeldMessage}));
    EXPECT_EQ(file.Read(), before);

    holder.Release();
    messages.shown.clear();
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
    EXPECT_EQ(file.Read()[0x1A0A2], '2');
    EXPECT_EQ(file.Read()[0x1A0A3], '3');
    EXPECT_EQ(file.Read()[0x1A0A4], '1');
}

TEST_F(PatchCommand, AnImageAnotherProgramKeepsOpenWithoutALockIsLeftAlone) {
    using Hold = testing::LockHolder::Hold;
    const Bytes before = MakeFlashImage('1', '1', '0');
    TempFile file(before);
    Choose("Japan", "Black swirl", "PAL", "German (Deutsch)");
    for (const Hold hold : {Hold::OpenForWriting, Hold::OpenForReading}) {
        testing::LockHolder holder(file.PathText(), hold);
        messages.shown.clear();
        Patch(file.PathText());
        EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{HeldMessage}));
        EXPECT_EQ(file.Read(), before);
        EXPECT_TRUE(NumberOneIsFree(file.PathText()));
    }
    messages.shown.clear();
    Patch(file.PathText());
    EXPECT_EQ(messages.shown, (std::vector<ShownMessage>{PatchedMessage}));
    EXPECT_EQ(file.Read()[0x1A002], 'X');
    EXPECT_EQ(file.Read()[0x1A0A3], '2');
}

TEST_F(PatchCommand, AnImmutableImageIsNotBlamedOnAnotherProgramAndStaysAsItWas) {
    const Bytes before = MakeFlashImage('1', '1', '0');
    TempFile file(before);
    if (!testing::SetImmutable(file.PathText(), true)) {
        GTEST_SKIP() << "this file system or user cannot mark files immutable";
    }
    Choose("Japan", "Black swirl", "PAL_N", "Japanese");
    Patch(file.PathText());
    ASSERT_TRUE(testing::SetImmutable(file.PathText(), false));
    ASSERT_EQ(messages.shown.size(), 1u);
    const std::string& prompt = messages.shown[0].prompt;
    EXPECT_EQ(prompt.rfind(testing::DeniedMessage("").prompt, 0), 0u) << prompt;
    EXPECT_NE(prompt.find("70 - Permission denied: the file is marked immutable"),
              std::string::npos)
        << prompt;
    EXPECT_EQ(file.Read(), before);
    EXPECT_TRUE(NumberOneIsFree(file.PathText()));
}

} // namespace
} // namespace koravel
