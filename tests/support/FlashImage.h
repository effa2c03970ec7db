#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace koravel::testing {

using Bytes = std::vector<std::uint8_t>;

inline constexpr std::size_t FlashSize = 131072;         // 128 KiB of system flash
inline constexpr std::size_t FactoryPartition = 0x1A000; // 8 KiB of factory settings
inline constexpr std::size_t MirrorDistance = 0xA0;
// Offsets of the six setting bytes: region, language, broadcast; then the mirror.
inline constexpr std::size_t SettingOffsets[6] = {0x1A002, 0x1A003, 0x1A004,
                                                  0x1A0A2, 0x1A0A3, 0x1A0A4};

// A flash dump shaped like a real one: erased (0xFF) flash, and a factory
// partition that begins "00" + region + language + broadcast + "Dreamcast  ",
// with a console ID and its checksum bytes, repeated 0xA0 bytes later.
Bytes MakeFlashImage(char region = '1', char language = '1', char broadcast = '0');

// The same image with the second copy erased, as some dumps have it.
Bytes WithErasedMirror(Bytes image);

// The same image with a second copy whose three codes differ from the first.
Bytes WithDifferentMirror(Bytes image, char region, char language, char broadcast);

// A path as UTF-8 text, the form in which the window and the file layer take it.
std::string Utf8(const std::filesystem::path& path);

// A file in a fresh temporary folder, removed with the folder at the end.
class TempFile {
  public:
    explicit TempFile(const Bytes& contents, const std::string& name = "flash.bin");
    ~TempFile();
    TempFile(const TempFile&) = delete;
    TempFile& operator=(const TempFile&) = delete;

    const std::filesystem::path& Path() const { return path_; }
    std::string PathText() const { return Utf8(path_); } // as the window shows it
    const std::filesystem::path& Folder() const { return folder_; }
    Bytes Read() const;
    void Write(const Bytes& contents) const;

  private:
    std::filesystem::path folder_;
    std::filesystem::path path_;
};

Bytes ReadFile(const std::filesystem::path& path);
void WriteFile(const std::filesystem::path& path, const Bytes& contents);

// Offsets at which two images of the same length differ.
std::vector<std::size_t> DifferingOffsets(const Bytes& a, const Bytes& b);

// Offsets at which two images differ other than at the six setting bytes.
std::vector<std::size_t> OffsetsChangedBesidesSettings(const Bytes& a, const Bytes& b);

} // namespace koravel::testing
