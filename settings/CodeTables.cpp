#include "settings/CodeTables.h"

#include <array>
#include <cstddef>

namespace koravel {
namespace {

constexpr std::uint8_t DigitBase = 0x30;      // '0': default swirl, broadcast, language
constexpr std::uint8_t BlackSwirlBase = 0x58; // 'X': black swirl

constexpr std::array<const char*, 3> kRegions{"Japan", "USA", "Europe"};
constexpr std::array<const char*, 2> kSwirls{"default swirl", "Black swirl"};
constexpr std::array<const char*, 4> kBroadcasts{"NTSC", "PAL", "PAL_M", "PAL_N"};
constexpr std::array<const char*, 6> kLanguages{
    "Japanese",
    "English",
    "German (Deutsch)",
    "French (Fran\u00E7ais)",
    "Spanish (Espa\u00F1ol)",
    "Italian (Italiano)",
};

// Preview of each region with the default swirl; the black swirl is always Black.
constexpr std::array<SwirlPreview, 3> kDefaultPreviews{SwirlPreview::Red, SwirlPreview::Red,
                                                       SwirlPreview::Blue};

template <std::size_t N>
std::optional<std::size_t> IndexOf(const std::array<const char*, N>& texts,
                                   const std::string& text) {
    for (std::size_t i = 0; i < N; ++i) {
        if (text == texts[i]) {
            return i;
        }
    }
    return std::nullopt;
}

// Broadcast and language codes are the digit '0' plus the text's index.
template <std::size_t N>
std::optional<std::uint8_t> DigitCodeOf(const std::array<const char*, N>& texts,
                                        const std::string& text) {
    const auto n = IndexOf(texts, text);
    if (!n) {
        return std::nullopt;
    }
    return static_cast<std::uint8_t>(DigitBase + *n);
}

template <std::size_t N>
std::optional<std::string> TextAt(const std::array<const char*, N>& texts, std::uint8_t code) {
    if (code >= DigitBase && code < DigitBase + N) {
        return std::string(texts[code - DigitBase]);
    }
    return std::nullopt;
}

} // namespace

std::span<const char* const> RegionTexts() {
    return kRegions;
}
std::span<const char* const> SwirlTexts() {
    return kSwirls;
}
std::span<const char* const> BroadcastTexts() {
    return kBroadcasts;
}
std::span<const char* const> LanguageTexts() {
    return kLanguages;
}

std::optional<DecodedRegion> DecodeRegion(std::uint8_t code) {
    if (code >= DigitBase && code < DigitBase + kRegions.size()) {
        const std::size_t n = code - DigitBase;
        return DecodedRegion{kRegions[n], kSwirls[0], kDefaultPreviews[n]};
    }
    if (code >= BlackSwirlBase && code < BlackSwirlBase + kRegions.size()) {
        const std::size_t n = code - BlackSwirlBase;
        return DecodedRegion{kRegions[n], kSwirls[1], SwirlPreview::Black};
    }
    return std::nullopt;
}

std::optional<std::string> DecodeBroadcast(std::uint8_t code) {
    return TextAt(kBroadcasts, code);
}

std::optional<std::string> DecodeLanguage(std::uint8_t code) {
    return TextAt(kLanguages, code);
}

std::optional<std::uint8_t> EncodeRegion(const std::string& regionText,
                                         const std::string& swirlText) {
    const auto n = IndexOf(kRegions, regionText);
    if (!n) {
        return std::nullopt;
    }
    // Anything but exactly the default swirl text, the empty text included, is black.
    const std::uint8_t base = swirlText == kSwirls[0] ? DigitBase : BlackSwirlBase;
    return static_cast<std::uint8_t>(base + *n);
}

std::optional<std::uint8_t> EncodeBroadcast(const std::string& broadcastText) {
    return DigitCodeOf(kBroadcasts, broadcastText);
}

std::optional<std::uint8_t> EncodeLanguage(const std::string& languageText) {
    return DigitCodeOf(kLanguages, languageText);
}

std::string HexText(std::uint8_t value) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    if (value >= 0x10) {
        text += kDigits[value >> 4];
    }
    text += kDigits[value & 0x0F];
    return text;
}

std::string CodeWarningText(SettingsField field, std::uint8_t code) {
    const char* prefix = "The region hex value '";
    switch (field) {
    case SettingsField::Region:
        break;
    case SettingsField::Broadcast:
        prefix = "The broadcast hex value '";
        break;
    case SettingsField::Language:
        prefix = "The language hex value '";
        break;
    }
    return prefix + HexText(code) + "' isn't known by Koravel.";
}

} // namespace koravel
