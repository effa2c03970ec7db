#include "platform/web/PickerTypes.h"
#include "platform/modCommonDialog.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace koravel {
namespace {

TEST(PickerTypes, TheSelectFilterOffersBinFilesAndLetsEveryFileBePicked) {
    std::string filter = "Dreamcast flash (*.bin)|*.bin|All files (*.*)|*.*";
    std::replace(filter.begin(), filter.end(), '|', '\0');
    const std::vector<FileFilter> filters = ParseFilterText(filter);
    EXPECT_EQ(PickerTypesText(filters), "Dreamcast flash (*.bin)\t.bin\n");
    EXPECT_EQ(PickerAccept(filters), "");
}

TEST(PickerTypes, ConcreteExtensionsOnlyAndInOrder) {
    const std::vector<FileFilter> filters{
        {"Images", "*.bin;*.img;*.b?n"}, {"Odd", "flash*"}, {"Raw", "*.raw"}};
    EXPECT_EQ(PickerTypesText(filters), "Images\t.bin .img\nRaw\t.raw\n");
    EXPECT_EQ(PickerAccept(filters), ".bin,.img,.raw");
    EXPECT_EQ(PickerAccept({{"Any", "*"}}), "");
    EXPECT_EQ(PickerTypesText({}), "");
}

} // namespace
} // namespace koravel
