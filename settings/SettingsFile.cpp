#include "settings/SettingsFile.h"

#include "platform/FileLayer.h"
#include "settings/Layout.h"

#include <optional>
#include <string>

namespace koravel {
namespace {

std::uint8_t ReadCode(FileLayer& files, int fileNumber, std::int64_t offset) {
    std::uint8_t code = 0x00;
    files.ReadByte(fileNumber, layout::Position(offset), code);
    return code;
}

void WriteCode(FileLayer& files, int fileNumber, std::int64_t offset,
               const std::optional<std::uint8_t>& code) {
    if (code) {
        files.WriteText(fileNumber, layout::Position(offset),
                        std::string(1, static_cast<char>(*code)));
    }
}

} // namespace

SettingsBlock ReadSettingsBlock(FileLayer& files, int fileNumber) {
    SettingsBlock block;
    block.regionCode = ReadCode(files, fileNumber, layout::RegionOffset);
    block.languageCode = ReadCode(files, fileNumber, layout::LanguageOffset);
    block.broadcastCode = ReadCode(files, fileNumber, layout::BroadcastOffset);
    return block;
}

void WriteSettingsBlock(FileLayer& files, int fileNumber, const SettingsBlock& block) {
    for (const std::int64_t copy : {std::int64_t{0}, layout::MirrorDistance}) {
        WriteCode(files, fileNumber, layout::RegionOffset + copy, block.regionCode);
        WriteCode(files, fileNumber, layout::LanguageOffset + copy, block.languageCode);
        WriteCode(files, fileNumber, layout::BroadcastOffset + copy, block.broadcastCode);
    }
}

} // namespace koravel
