#include "ui/SwirlPreviewRule.h"
#include "tests/support/Fakes.h"

#include <gtest/gtest.h>

namespace koravel {
namespace {

using testing::FakeFormView;

TEST(SwirlPreviewRule, EveryRowOfTheRule) {
    struct Row {
        const char* swirl;
        const char* region;
        std::optional<SwirlPreview> expected;
    };
    const Row rows[] = {
        {"default swirl", "Japan", SwirlPreview::Red},
        {"default swirl", "USA", SwirlPreview::Red},
        {"default swirl", "Europe", SwirlPreview::Blue},
        {"default swirl", "", std::nullopt},
        {"default swirl", "europe", std::nullopt},
        {"default swirl", "USA ", std::nullopt},
        {"Black swirl", "Japan", SwirlPreview::Black},
        {"Black swirl", "Europe", SwirlPreview::Black},
        {"Black swirl", "", SwirlPreview::Black},
        {"Black swirl", "Atlantis", SwirlPreview::Black},
        {"", "USA", std::nullopt},
        {"black swirl", "USA", std::nullopt},
        {"Default swirl", "Europe", std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.swirl) + " / " + row.region);
        EXPECT_EQ(PreviewFor(row.swirl, row.region), row.expected);
    }
}

TEST(SwirlPreviewRule, ShowSetsAllThreePicturesInOrder) {
    FakeFormView view;
    ShowSwirlPreview(view, SwirlPreview::Blue);
    const std::vector<std::pair<PictureBox, bool>> expected{{PictureBox::picPatchRed, false},
                                                            {PictureBox::picPatchBlue, true},
                                                            {PictureBox::picPatchBlack, false}};
    EXPECT_EQ(view.pictureLog, expected);
    ShowSwirlPreview(view, SwirlPreview::Black);
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlack);
    EXPECT_EQ(view.pictureLog.size(), 6u);
}

TEST(SwirlPreviewRule, UpdateReadsTheListsAndLeavesUnknownTextsAlone) {
    FakeFormView view;
    view.SetListText(ListBox::cboPatch1, "Europe");
    UpdateSwirlPreview(view); // swirl list still empty: nothing changes
    EXPECT_TRUE(view.pictureLog.empty());

    view.SetListText(ListBox::cboPatch4, "default swirl");
    UpdateSwirlPreview(view);
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlue);

    view.SetListText(ListBox::cboPatch4, "Black swirl");
    UpdateSwirlPreview(view);
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlack);

    view.SetListText(ListBox::cboPatch1, "Japan");
    UpdateSwirlPreview(view);
    EXPECT_EQ(view.VisiblePicture(), PictureBox::picPatchBlack);
}

} // namespace
} // namespace koravel
