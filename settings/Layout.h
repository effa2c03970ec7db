#pragma once

#include <cstdint>

namespace koravel::layout {

// File offsets (0-based) of the three codes of the primary copy. The mirror copy
// lies MirrorDistance bytes after it, in the same order.
inline constexpr std::int64_t RegionOffset = 0x1A002;
inline constexpr std::int64_t LanguageOffset = 0x1A003;
inline constexpr std::int64_t BroadcastOffset = 0x1A004;
inline constexpr std::int64_t MirrorDistance = 0xA0;

// The file layer counts positions from 1.
constexpr std::int64_t Position(std::int64_t offset) {
    return offset + 1;
}

// Smallest image that holds the primary copy, and both copies.
inline constexpr std::int64_t PrimaryEnd = BroadcastOffset + 1;                 // 106501
inline constexpr std::int64_t MirrorEnd = BroadcastOffset + MirrorDistance + 1; // 106661

} // namespace koravel::layout
