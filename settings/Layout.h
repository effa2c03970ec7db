#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace koravel::layout {

// File offsets (0-based) of the three codes of the primary copy. The mirror copy
// lies MirrorDistance bytes after it, in the same order.
inline constexpr std::int64_t RegionOffset = 0x1A002;
inline constexpr std::int64_t LanguageOffset = 0x1A003;
inline constexpr std::int64_t BroadcastOffset = 0x1A004;
inline constexpr std::int64_t MirrorDistance = 0xA0;

// The six code bytes of both copies, in the order they are written: region,
// language, broadcast of the primary copy, then of the mirror copy.
inline constexpr std::array<std::int64_t, 6> CodeOffsets = {RegionOffset,
                                                            LanguageOffset,
                                                            BroadcastOffset,
                                                            RegionOffset + MirrorDistance,
                                                            LanguageOffset + MirrorDistance,
                                                            BroadcastOffset + MirrorDistance};
inline constexpr std::size_t CodesPerCopy = 3;

// Every flash image names the console right after the primary copy's codes
// (and the mirror's); a BIOS dump, a save file or erased flash does not.
inline constexpr std::int64_t MarkerOffset = 0x1A005;
inline constexpr std::string_view MarkerText = "Dreamcast";

// The file layer counts positions from 1.
constexpr std::int64_t Position(std::int64_t offset) {
    return offset + 1;
}

// Smallest image that holds the primary copy, and both copies.
inline constexpr std::int64_t PrimaryEnd = BroadcastOffset + 1;                 // 106501
inline constexpr std::int64_t MirrorEnd = BroadcastOffset + MirrorDistance + 1; // 106661

} // namespace koravel::layout
