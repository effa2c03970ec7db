#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace koravel::web_tools {

// The SHA-256 digest of a text, as the page's Content-Security-Policy names
// its inline scripts and styles.
std::array<std::uint8_t, 32> Sha256(std::string_view text);

} // namespace koravel::web_tools
