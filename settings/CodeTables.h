#pragma once

#include "settings/SwirlPreview.h"

#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace koravel {

// Display texts: the items of the window's lists, in list order. They are the
// only way settings travel between the window and the file, compared exactly.
std::span<const char* const> RegionTexts();
std::span<const char* const> SwirlTexts();
std::span<const char* const> BroadcastTexts();
std::span<const char* const> LanguageTexts();

struct DecodedRegion {
    std::string regionText;
    std::string swirlText;
    SwirlPreview preview;
    friend bool operator==(const DecodedRegion&, const DecodedRegion&) = default;
};

std::optional<DecodedRegion> DecodeRegion(std::uint8_t code);
std::optional<std::string> DecodeBroadcast(std::uint8_t code);
std::optional<std::string> DecodeLanguage(std::uint8_t code);

std::optional<std::uint8_t> EncodeRegion(const std::string& regionText,
                                         const std::string& swirlText);
std::optional<std::uint8_t> EncodeBroadcast(const std::string& broadcastText);
std::optional<std::uint8_t> EncodeLanguage(const std::string& languageText);

enum class SettingsField { Region, Broadcast, Language };

// Upper-case hexadecimal without leading zeros: 0x00 -> "0", 0xFF -> "FF".
std::string HexText(std::uint8_t value);

// The warning shown for a code byte that no table row holds.
std::string CodeWarningText(SettingsField field, std::uint8_t code);

} // namespace koravel
