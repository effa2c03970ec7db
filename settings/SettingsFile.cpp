#include "settings/SettingsFile.h"

#include "platform/FileError.h"
#include "platform/FileLayer.h"

#include <string>

namespace koravel {
namespace {

std::uint8_t ReadCode(FileLayer& files, int fileNumber, std::int64_t offset) {
    std::uint8_t code = 0x00;
    files.ReadByte(fileNumber, layout::Position(offset), code);
    return code;
}

} // namespace

SettingsBlock ReadSettingsBlock(FileLayer& files, int fileNumber) {
    SettingsBlock block;
    block.regionCode = ReadCode(files, fileNumber, layout::RegionOffset);
    block.languageCode = ReadCode(files, fileNumber, layout::LanguageOffset);
    block.broadcastCode = ReadCode(files, fileNumber, layout::BroadcastOffset);
    return block;
}

CodesByOffset CodesInWriteOrder(const SettingsBlock& block) {
    return {block.regionCode, block.languageCode, block.broadcastCode,
            block.regionCode, block.languageCode, block.broadcastCode};
}

void WriteSettingsBlock(FileLayer& files, int fileNumber, const SettingsBlock& block) {
    const CodesByOffset codes = CodesInWriteOrder(block);
    for (std::size_t i = 0; i < codes.size(); ++i) {
        if (codes[i]) {
            WriteCodeByte(files, fileNumber, i, *codes[i]);
        }
    }
}

void WriteCodeByte(FileLayer& files, int fileNumber, std::size_t index, std::uint8_t value) {
    files.WriteText(fileNumber, layout::Position(layout::CodeOffsets[index]),
                    std::string(1, static_cast<char>(value)));
}

std::array<std::uint8_t, layout::CodeOffsets.size()> ReadCodeBytes(FileLayer& files,
                                                                   int fileNumber) {
    std::array<std::uint8_t, layout::CodeOffsets.size()> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        if (!files.ReadByte(fileNumber, layout::Position(layout::CodeOffsets[i]), bytes[i])) {
            throw FileError(err::BadRecordNumber,
                            "Bad record number: the file ends before its settings");
        }
    }
    return bytes;
}

bool HasFlashMarker(FileLayer& files, int fileNumber) {
    for (std::size_t i = 0; i < layout::MarkerText.size(); ++i) {
        std::uint8_t byte = 0;
        const auto offset = layout::MarkerOffset + static_cast<std::int64_t>(i);
        if (!files.ReadByte(fileNumber, layout::Position(offset), byte) ||
            byte != static_cast<std::uint8_t>(layout::MarkerText[i])) {
            return false;
        }
    }
    return true;
}

} // namespace koravel
