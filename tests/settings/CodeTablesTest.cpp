#include "settings/CodeTables.h"

#include <gtest/gtest.h>

#include <set>

namespace koravel {
namespace {

struct RegionRow {
    std::uint8_t code;
    const char* region;
    const char* swirl;
    SwirlPreview preview;
};

const RegionRow kRegionRows[] = {
    {0x30, "Japan", "default swirl", SwirlPreview::Red},
    {0x31, "USA", "default swirl", SwirlPreview::Red},
    {0x32, "Europe", "default swirl", SwirlPreview::Blue},
    {0x58, "Japan", "Black swirl", SwirlPreview::Black},
    {0x59, "USA", "Black swirl", SwirlPreview::Black},
    {0x5A, "Europe", "Black swirl", SwirlPreview::Black},
};

const std::pair<std::uint8_t, const char*> kBroadcastRows[] = {
    {0x30, "NTSC"}, {0x31, "PAL"}, {0x32, "PAL_M"}, {0x33, "PAL_N"}};

const std::pair<std::uint8_t, const char*> kLanguageRows[] = {
    {0x30, "Japanese"},
    {0x31, "English"},
    {0x32, "German (Deutsch)"},
    {0x33, "French (Fran\xC3\xA7"
           "ais)"},
    {0x34, "Spanish (Espa\xC3\xB1ol)"},
    {0x35, "Italian (Italiano)"},
};

TEST(CodeTables, EveryRegionRowDecodesAndEncodesBack) {
    for (const auto& row : kRegionRows) {
        SCOPED_TRACE(row.code);
        const auto decoded = DecodeRegion(row.code);
        ASSERT_TRUE(decoded.has_value());
        EXPECT_EQ(decoded->regionText, row.region);
        EXPECT_EQ(decoded->swirlText, row.swirl);
        EXPECT_EQ(decoded->preview, row.preview);
        EXPECT_EQ(EncodeRegion(decoded->regionText, decoded->swirlText), row.code);
    }
}

TEST(CodeTables, EveryBroadcastAndLanguageRowDecodesAndEncodesBack) {
    for (const auto& [code, text] : kBroadcastRows) {
        EXPECT_EQ(DecodeBroadcast(code), text);
        EXPECT_EQ(EncodeBroadcast(text), code);
    }
    for (const auto& [code, text] : kLanguageRows) {
        EXPECT_EQ(DecodeLanguage(code), text);
        EXPECT_EQ(EncodeLanguage(text), code);
    }
}

TEST(CodeTables, EveryOtherByteValueIsNotRecognised) {
    std::set<int> regions, broadcasts, languages;
    for (const auto& row : kRegionRows) {
        regions.insert(row.code);
    }
    for (const auto& [code, text] : kBroadcastRows) {
        broadcasts.insert(code);
    }
    for (const auto& [code, text] : kLanguageRows) {
        languages.insert(code);
    }
    for (int value = 0; value < 256; ++value) {
        SCOPED_TRACE(value);
        const auto byte = static_cast<std::uint8_t>(value);
        EXPECT_EQ(DecodeRegion(byte).has_value(), regions.count(value) == 1);
        EXPECT_EQ(DecodeBroadcast(byte).has_value(), broadcasts.count(value) == 1);
        EXPECT_EQ(DecodeLanguage(byte).has_value(), languages.count(value) == 1);
    }
}

TEST(CodeTables, ListTextsAreTheTableTextsInOrder) {
    const std::vector<std::string> regions(RegionTexts().begin(), RegionTexts().end());
    const std::vector<std::string> swirls(SwirlTexts().begin(), SwirlTexts().end());
    EXPECT_EQ(regions, (std::vector<std::string>{"Japan", "USA", "Europe"}));
    EXPECT_EQ(swirls, (std::vector<std::string>{"default swirl", "Black swirl"}));
    ASSERT_EQ(BroadcastTexts().size(), std::size(kBroadcastRows));
    for (std::size_t i = 0; i < BroadcastTexts().size(); ++i) {
        EXPECT_STREQ(BroadcastTexts()[i], kBroadcastRows[i].second);
    }
    ASSERT_EQ(LanguageTexts().size(), std::size(kLanguageRows));
    for (std::size_t i = 0; i < LanguageTexts().size(); ++i) {
        EXPECT_STREQ(LanguageTexts()[i], kLanguageRows[i].second);
    }
}

TEST(CodeTables, EncodersMatchWholeTextsExactly) {
    for (const char* swirl : {"default swirl", "Black swirl", ""}) {
        EXPECT_FALSE(EncodeRegion("usa", swirl));
        EXPECT_FALSE(EncodeRegion("USA ", swirl));
        EXPECT_FALSE(EncodeRegion(" USA", swirl));
        EXPECT_FALSE(EncodeRegion("", swirl));
    }
    EXPECT_FALSE(EncodeBroadcast("ntsc"));
    EXPECT_FALSE(EncodeBroadcast("PAL "));
    EXPECT_FALSE(EncodeBroadcast("PAL-M"));
    EXPECT_FALSE(EncodeBroadcast(""));
    EXPECT_FALSE(EncodeLanguage("english"));
    EXPECT_FALSE(EncodeLanguage("French (Francais)"));
    EXPECT_FALSE(EncodeLanguage("Spanish (Espanol)"));
    EXPECT_FALSE(EncodeLanguage(""));
}

TEST(CodeTables, AnySwirlButTheDefaultGivesTheBlackCode) {
    EXPECT_EQ(EncodeRegion("USA", ""), 0x59);
    EXPECT_EQ(EncodeRegion("Japan", "Default swirl"), 0x58);
    EXPECT_EQ(EncodeRegion("Europe", "default swirl "), 0x5A);
    EXPECT_EQ(EncodeRegion("Europe", "default swirl"), 0x32);
}

TEST(CodeTables, HexTextIsUpperCaseWithoutLeadingZeros) {
    EXPECT_EQ(HexText(0x00), "0");
    EXPECT_EQ(HexText(0x05), "5");
    EXPECT_EQ(HexText(0x07), "7");
    EXPECT_EQ(HexText(0x0A), "A");
    EXPECT_EQ(HexText(0x10), "10");
    EXPECT_EQ(HexText(0x33), "33");
    EXPECT_EQ(HexText(0x7A), "7A");
    EXPECT_EQ(HexText(0xFF), "FF");
}

TEST(CodeTables, WarningTextsNameTheFieldAndTheByte) {
    EXPECT_EQ(CodeWarningText(SettingsField::Region, 0x00),
              "The region hex value '0' isn't known by Koravel.");
    EXPECT_EQ(CodeWarningText(SettingsField::Broadcast, 0x05),
              "The broadcast hex value '5' isn't known by Koravel.");
    EXPECT_EQ(CodeWarningText(SettingsField::Language, 0x0A),
              "The language hex value 'A' isn't known by Koravel.");
    EXPECT_EQ(CodeWarningText(SettingsField::Region, 0xFF),
              "The region hex value 'FF' isn't known by Koravel.");
}

} // namespace
} // namespace koravel
