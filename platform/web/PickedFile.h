#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace koravel {

// A file that the user handed to the page. A browser gives no paths: the page
// knows a picked file by its name, and reaches its bytes only through the
// browser. Every failure throws FileError.
class PickedFile {
  public:
    virtual ~PickedFile() = default;

    // The file's size now; throws when it has gone or can no longer be read.
    virtual std::int64_t Size() = 0;

    // Up to `length` bytes from `offset`, fewer at the end of the file.
    virtual std::vector<std::uint8_t> Read(std::int64_t offset, std::size_t length) = 0;

    // True when changes can go into the file itself; otherwise the changed
    // file is handed over as a download.
    virtual bool WritesInPlace() = 0;

    // In place: asks for permission to change the file and starts a swap copy
    // that holds the file's bytes. Throws 70 when the browser was not allowed
    // to (the user said no), 75 when the file is locked or in use elsewhere;
    // nothing is written then.
    virtual void BeginWrite() = 0;
    // Writes into the swap copy.
    virtual void Write(std::int64_t offset, std::span<const std::uint8_t> bytes) = 0;
    // Replaces the file with the swap copy, all at once.
    virtual void Commit() = 0;
    // Throws the swap copy away; the file stays as it was.
    virtual void Abort() noexcept = 0;

    // Elsewhere: hands the changed file over as a download under its name.
    virtual void Download(std::span<const std::uint8_t> bytes) = 0;
};

// Where the file layer looks a path up.
class PickedFiles {
  public:
    virtual ~PickedFiles() = default;
    // The file that `path` names, or nothing.
    virtual std::shared_ptr<PickedFile> Find(const std::string& path) = 0;
};

} // namespace koravel
