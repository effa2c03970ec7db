#pragma once

#include "platform/FileLayer.h"
#include "platform/FileNumbers.h"

namespace koravel {

// FileLayer on Windows file handles. Paths are UTF-8 and become UTF-16 at the
// boundary. Files are opened only if they exist and are disk files, never
// created or truncated. A ReadWrite file is shared with no one: it is refused
// (75) while any other program has it open, even only to read it, and no other
// program can open it until it is closed. A ReadOnly file shares reading and
// writing.
class Win32FileLayer : public FileLayer {
  public:
    static constexpr int MaxFileNumber = file_rules::MaxFileNumber;

    Win32FileLayer() = default;
    ~Win32FileLayer() override;
    Win32FileLayer(const Win32FileLayer&) = delete;
    Win32FileLayer& operator=(const Win32FileLayer&) = delete;

    // True for an existing disk file that is not a folder, hidden and system
    // files included; devices (NUL, CON, COM1, \\.\ paths) never count.
    bool Exists(const std::string& path) noexcept override;
    void Open(int fileNumber, const std::string& path, OpenMode mode) override;
    SaveTarget SavesTo(int /*fileNumber*/) override { return SaveTarget::InPlace; }
    bool ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) override;
    void WriteText(int fileNumber, std::int64_t position, std::string_view text) override;
    std::int64_t Length(int fileNumber) override;
    void Flush(int fileNumber) override;
    void Close(int fileNumber) override;

  private:
    struct Slot {
        void* handle = nullptr; // a HANDLE; nullptr while the number holds nothing
        OpenMode mode = OpenMode::ReadOnly;
        bool IsOpen() const { return handle != nullptr; }
    };

    FileNumbers<Slot> slots_;
};

} // namespace koravel
