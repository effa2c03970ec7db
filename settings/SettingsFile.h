#pragma once

#include "settings/SettingsBlock.h"

namespace koravel {

class FileLayer;

// Reads the primary copy: three single-byte reads, region, language, broadcast.
// A byte past the end of a short image reads as 0x00.
SettingsBlock ReadSettingsBlock(FileLayer& files, int fileNumber);

// Writes the present codes into the primary and then the mirror copy, six
// single-byte writes at most; an absent code is skipped. A failure stops at once.
void WriteSettingsBlock(FileLayer& files, int fileNumber, const SettingsBlock& block);

} // namespace koravel
