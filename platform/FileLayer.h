#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace koravel {

// Where the changes to a file opened for writing go.
enum class SaveTarget {
    InPlace,  // into the file itself
    Download, // into a copy of it, handed over as a download; the file stays as it was
};

enum class OpenMode {
    ReadOnly,  // reading only; never writes, never locks
    ReadWrite, // reading and writing in place, with no other program writing
};

// Numbered file access: a file number holds one open file at a time, positions
// count from 1 (position 1 is the first byte). Every failure throws FileError.
class FileLayer {
  public:
    virtual ~FileLayer() = default;

    // True when the path names an ordinary (regular) file; a symlink to one counts.
    virtual bool Exists(const std::string& path) = 0;

    // Opens an existing regular file without truncating it. ReadWrite keeps
    // other programs from writing to it while it is open, where the system
    // lets it, and is refused (75) while another program holds it; a file
    // that may not be changed (read-only, or not allowed) is refused with 70.
    virtual void Open(int fileNumber, const std::string& path, OpenMode mode) = 0;

    // Why, when the file was opened for writing, the layer could not tell
    // whether another program has it open (a sandbox, a file system that does
    // not say); nothing when it could, and so found none.
    virtual std::optional<std::string> WhyOtherOpenersUnseen(int /*fileNumber*/) {
        return std::nullopt;
    }

    // Where what is written under an open number goes.
    virtual SaveTarget SavesTo(int fileNumber) = 0;

    // Reads the byte at a 1-based position into `byte`. At or past the end of the
    // file nothing is read, `byte` keeps its value and the result is false.
    virtual bool ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) = 0;

    // Writes each character of `text` as one byte from a 1-based position. An empty
    // text writes nothing. A write never grows the file: one that would reach past
    // the end throws instead.
    virtual void WriteText(int fileNumber, std::int64_t position, std::string_view text) = 0;

    // The file's length in bytes.
    virtual std::int64_t Length(int fileNumber) = 0;

    // Forces what was written to the file onto its storage.
    virtual void Flush(int fileNumber) = 0;

    // Closes the file number; a number that holds nothing is left alone. The
    // number is free afterwards even when the close fails.
    virtual void Close(int fileNumber) = 0;
};

} // namespace koravel
