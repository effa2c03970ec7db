#pragma once

#include <cstdint>
#include <vector>

namespace koravel::web_tools {

// A Windows bitmap (24-bit, or 8-bit plain or run-length coded) as a PNG with
// the same pixels: indexed when it has at most 256 colours, RGB otherwise.
// The output depends on the input alone. Throws std::runtime_error on a bitmap
// it cannot read.
std::vector<std::uint8_t> BmpToPng(const std::vector<std::uint8_t>& bmp);

} // namespace koravel::web_tools
