#pragma once

#include "platform/FileError.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace koravel {

// The rules every numbered file layer shares, whatever the system's files.
namespace file_rules {

inline constexpr int MaxFileNumber = 511;

inline FileError BadNumber() {
    return FileError(err::BadFileNameOrNumber, "Bad file name or number");
}

inline FileError BadRecord(const char* why) {
    return FileError(err::BadRecordNumber, std::string("Bad record number: ") + why);
}

// Positions count from 1.
inline void CheckPosition(std::int64_t position) {
    if (position < 1) {
        throw BadRecord("positions start at 1");
    }
}

// The image has a fixed size: a write of `length` bytes at `position` that
// would grow a file of `size` bytes is a wrong position, refused unwritten.
inline void CheckWithinFile(std::int64_t position, std::size_t length, std::int64_t size) {
    const auto bytes = static_cast<std::uint64_t>(size);
    const auto offset = static_cast<std::uint64_t>(position - 1);
    if (length > bytes || offset > bytes - length) {
        throw BadRecord("the position is past the end of the file");
    }
}

inline FileError WriteToReadOnly() {
    return FileError(err::PathFileAccess,
                     "Path/File access error: the file is open for reading only");
}

} // namespace file_rules

// A layer's open files by number, 1 to MaxFileNumber, one file a number.
// `Slot` says whether it holds a file with IsOpen().
template <typename Slot> class FileNumbers {
  public:
    // 52 when the number is out of range.
    Slot& At(int fileNumber) {
        if (fileNumber < 1 || fileNumber > file_rules::MaxFileNumber) {
            throw file_rules::BadNumber();
        }
        return slots_[static_cast<std::size_t>(fileNumber)];
    }
    // 52 also when the number holds no file.
    Slot& Open(int fileNumber) {
        Slot& slot = At(fileNumber);
        if (!slot.IsOpen()) {
            throw file_rules::BadNumber();
        }
        return slot;
    }
    auto begin() { return slots_.begin() + 1; }
    auto end() { return slots_.end(); }

  private:
    std::array<Slot, file_rules::MaxFileNumber + 1> slots_{}; // index 0 unused
};

} // namespace koravel
