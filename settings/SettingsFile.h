#pragma once

#include "settings/Layout.h"
#include "settings/SettingsBlock.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>

namespace koravel {

class FileLayer;

// Reads the primary copy: three single-byte reads, region, language, broadcast.
// A byte past the end of a short image reads as 0x00.
SettingsBlock ReadSettingsBlock(FileLayer& files, int fileNumber);

// Writes the present codes into the primary and then the mirror copy, six
// single-byte writes at most; an absent code is skipped. A failure stops at once.
void WriteSettingsBlock(FileLayer& files, int fileNumber, const SettingsBlock& block);

// The code a block puts at each of layout::CodeOffsets, in the same order;
// absent where the block's code is absent and nothing is written.
using CodesByOffset = std::array<std::optional<std::uint8_t>, layout::CodeOffsets.size()>;
CodesByOffset CodesInWriteOrder(const SettingsBlock& block);

// Writes one byte at the code position layout::CodeOffsets[index].
void WriteCodeByte(FileLayer& files, int fileNumber, std::size_t index, std::uint8_t value);

// The bytes now at layout::CodeOffsets, in order: six single-byte reads. Throws
// FileError when one of them lies past the end of the file.
std::array<std::uint8_t, layout::CodeOffsets.size()> ReadCodeBytes(FileLayer& files,
                                                                   int fileNumber);

// True when the console's name follows the primary copy's codes, as in every
// flash image: one single-byte read a character, stopping at the first that
// differs. A file too short to hold it has no marker.
bool HasFlashMarker(FileLayer& files, int fileNumber);

} // namespace koravel
