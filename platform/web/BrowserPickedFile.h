#pragma once

#include "platform/web/PickedFile.h"

namespace koravel {

// The file the user picked last, reached through the browser: in place with
// the File System Access API where the page got a handle, as a download elsewhere.
class BrowserPickedFile : public PickedFile {
  public:
    std::int64_t Size() override;
    std::vector<std::uint8_t> Read(std::int64_t offset, std::size_t length) override;
    bool WritesInPlace() override;
    void BeginWrite() override;
    void Write(std::int64_t offset, std::span<const std::uint8_t> bytes) override;
    void Commit() override;
    void Abort() noexcept override;
    void Download(std::span<const std::uint8_t> bytes) override;
};

// A path names the picked file when it is exactly the file's name.
class BrowserPickedFiles : public PickedFiles {
  public:
    std::shared_ptr<PickedFile> Find(const std::string& path) override;
};

// The picked file's name, or the empty text when nothing was picked.
std::string PickedFileName();

// Makes the file the page took from a drop (Module.koravelEarlyPick) the
// picked file, and gives its name; the empty text when nothing was taken.
std::string TakeDroppedFile();

} // namespace koravel
