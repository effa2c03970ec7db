#pragma once

#include <cstdint>
#include <optional>

namespace koravel {

// One copy of the factory settings, in file order. A field read from a file is
// always present; one built by encoding is absent when its text matched no code.
struct SettingsBlock {
    std::optional<std::uint8_t> regionCode;
    std::optional<std::uint8_t> languageCode;
    std::optional<std::uint8_t> broadcastCode;

    friend bool operator==(const SettingsBlock&, const SettingsBlock&) = default;
};

} // namespace koravel
