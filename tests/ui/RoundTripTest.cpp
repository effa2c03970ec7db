#include "settings/CodeTables.h"
#include "tests/support/CommandFixture.h"

#include <algorithm>
#include <random>

namespace koravel {
namespace {

using testing::Bytes;
using testing::MakeFlashImage;
using testing::SettingOffsets;
using testing::TempFile;

using RoundTrip = testing::CommandFixture;

TEST_F(RoundTrip, EveryCombinationPatchedIsSelectedBackFromBothCopies) {
    const Bytes before = testing::WithDifferentMirror(MakeFlashImage('0', '0', '0'), '2', '5', '3');
    TempFile file(before);
    int combinations = 0;
    for (const char* region : RegionTexts()) {
        for (const char* swirl : SwirlTexts()) {
            for (const char* broadcast : BroadcastTexts()) {
                for (const char* language : LanguageTexts()) {
                    const std::vector<std::string> chosen{region, swirl, broadcast, language};
                    SCOPED_TRACE(chosen[0] + "/" + chosen[1] + "/" + chosen[2] + "/" + chosen[3]);
                    messages.shown.clear();
                    Choose(region, swirl, broadcast, language);
                    Patch(file.PathText());
                    ASSERT_EQ(messages.shown,
                              (std::vector<testing::ShownMessage>{testing::PatchedMessage}));

                    // Show something else, then read the image back.
                    Choose("Japan", "default swirl", "NTSC", "Japanese");
                    Select(file.PathText());
                    EXPECT_TRUE(messages.shown.size() == 1) << "Select warned";
                    EXPECT_EQ(Lists(), chosen);

                    const Bytes after = file.Read();
                    ASSERT_EQ(after.size(), before.size());
                    for (std::size_t i = 0; i < 3; ++i) {
                        EXPECT_EQ(after[SettingOffsets[i]], after[SettingOffsets[i + 3]]);
                    }
                    EXPECT_EQ(testing::OffsetsChangedBesidesSettings(before, after),
                              std::vector<std::size_t>{});
                    ++combinations;
                }
            }
        }
    }
    EXPECT_EQ(combinations, 3 * 2 * 4 * 6);
}

TEST_F(RoundTrip, RandomFilesChangeOnlyAtTheSixPositionsAndOnlyWithTheConsolesName) {
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> byte(0, 255);
    std::uniform_int_distribution<std::size_t> size(106400, 140000);
    for (int round = 0; round < 40; ++round) {
        Bytes before(size(random));
        for (auto& b : before) {
            b = static_cast<std::uint8_t>(byte(random));
        }
        // Every other file has the console's name after the primary copy's codes.
        const bool named = round % 2 == 0 && before.size() >= 0x1A00E;
        if (named) {
            std::copy_n("Dreamcast", 9, before.begin() + 0x1A005);
        }
        SCOPED_TRACE("size " + std::to_string(before.size()) + (named ? ", named" : ""));
        TempFile file(before);

        // Select leaves every file as it was, whatever it holds.
        Select(file.PathText());
        ASSERT_EQ(file.Read(), before);

        Choose(RegionTexts()[round % 3], SwirlTexts()[round % 2], BroadcastTexts()[round % 4],
               LanguageTexts()[round % 6]);
        Patch(file.PathText());
        const Bytes after = file.Read();
        ASSERT_EQ(after.size(), before.size());
        if (before.size() < 106661 || !named) {
            EXPECT_EQ(after, before); // too short, or no flash image: refused, untouched
            continue;
        }
        EXPECT_EQ(testing::OffsetsChangedBesidesSettings(before, after),
                  std::vector<std::size_t>{});
    }
}

} // namespace
} // namespace koravel
