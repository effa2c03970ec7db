#pragma once

#include "platform/FileLayer.h"
#include "platform/FileNumbers.h"
#include "platform/web/PickedFile.h"

#include <map>
#include <memory>
#include <vector>

namespace koravel {

// FileLayer over the files a browser hands to the page.
//
// ReadOnly reads the file where it is. ReadWrite, where the browser can write
// in place, asks for permission and opens a swap copy at Open; writes are kept
// until Flush, which puts those that change the file into the swap copy and
// commits them all at once (Close does so too, unless a Flush failed). A
// commit either lands whole or leaves the file as it was, so after a failed
// one the file still holds its own bytes: writing them back and flushing then
// has nothing to commit. Where the browser cannot write in place, ReadWrite
// reads the whole file into memory, writes change that copy, and Flush (or
// Close) hands it over as a download under the file's name, once something has
// been written.
class WebFileLayer : public FileLayer {
  public:
    explicit WebFileLayer(PickedFiles& files) : files_(files) {}
    ~WebFileLayer() override;
    WebFileLayer(const WebFileLayer&) = delete;
    WebFileLayer& operator=(const WebFileLayer&) = delete;

    // True when `path` names the picked file and it has not gone.
    bool Exists(const std::string& path) override;
    void Open(int fileNumber, const std::string& path, OpenMode mode) override;
    SaveTarget SavesTo(int fileNumber) override;
    bool ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) override;
    void WriteText(int fileNumber, std::int64_t position, std::string_view text) override;
    std::int64_t Length(int fileNumber) override;
    void Flush(int fileNumber) override;
    void Close(int fileNumber) override;

  private:
    struct Slot {
        std::shared_ptr<PickedFile> file;
        OpenMode mode = OpenMode::ReadOnly;
        std::int64_t size = 0;
        bool download = false;                      // the changes leave as a download
        std::vector<std::uint8_t> copy;             // download: the whole file
        bool uncommitted = false;                   // download: written since the hand-over
        std::map<std::int64_t, std::uint8_t> kept;  // in place: written, not yet committed
        std::map<std::int64_t, std::uint8_t> holds; // in place: the file's bytes there
        bool swapOpen = false;                      // in place: a swap copy is open
        bool failed = false;                        // in place: the last commit failed
        bool IsOpen() const { return file != nullptr; }
    };

    static std::map<std::int64_t, std::uint8_t> Changes(const Slot& slot);
    static void Commit(Slot& slot);

    PickedFiles& files_;
    FileNumbers<Slot> slots_;
};

} // namespace koravel
