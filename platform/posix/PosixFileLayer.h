#pragma once

#include "platform/FileLayer.h"
#include "platform/FileNumbers.h"

namespace koravel {

// FileLayer on POSIX descriptors. Every open file is a regular file; a
// ReadWrite file holds a flock() exclusive lock until it is closed (where the
// file system keeps locks), and is refused while another program has the file
// open, where the system can tell; where it cannot, the layer says why.
class PosixFileLayer : public FileLayer {
  public:
    static constexpr int MaxFileNumber = file_rules::MaxFileNumber;

    PosixFileLayer() = default;
    ~PosixFileLayer() override;
    PosixFileLayer(const PosixFileLayer&) = delete;
    PosixFileLayer& operator=(const PosixFileLayer&) = delete;

    bool Exists(const std::string& path) noexcept override;
    void Open(int fileNumber, const std::string& path, OpenMode mode) override;
    SaveTarget SavesTo(int /*fileNumber*/) override { return SaveTarget::InPlace; }
    std::optional<std::string> WhyOtherOpenersUnseen(int fileNumber) override;
    bool ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) override;
    void WriteText(int fileNumber, std::int64_t position, std::string_view text) override;
    std::int64_t Length(int fileNumber) override;
    void Flush(int fileNumber) override;
    void Close(int fileNumber) override;

  private:
    struct Slot {
        int fd = -1;
        OpenMode mode = OpenMode::ReadOnly;
        std::string unseenBecause; // why other openers could not be seen; empty when they could
        bool IsOpen() const { return fd >= 0; }
    };

    static std::int64_t SizeOf(int fd);

    FileNumbers<Slot> slots_;
};

} // namespace koravel
