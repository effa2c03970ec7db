#pragma once

#include "platform/FileError.h"
#include "settings/Layout.h"
#include "settings/SettingsBlock.h"
#include "settings/SettingsFile.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace koravel {

class FileLayer;

// What one copy of the settings holds after a patch that failed.
enum class CopyHolds {
    Original, // every code as it was before the patch
    New,      // every code as the patch meant to write it
    Mixed,    // some codes new, the others as they were
    Unknown,  // a flush that covered it failed, so what is on the storage is not known
};

// Why a patch failed, and what the image holds afterwards.
struct PatchFailure {
    FileError error;                    // what stopped the patch
    std::optional<FileError> undoError; // what stopped putting the original bytes back
    CopyHolds primary = CopyHolds::Original;
    CopyHolds mirror = CopyHolds::Original;

    bool NothingChanged() const {
        return primary == CopyHolds::Original && mirror == CopyHolds::Original;
    }
};

// Writes a settings block into an open image all or nothing. It reads the bytes
// it is about to overwrite first; when a write, the flush or the close fails,
// it writes them back, flushes and closes, and tells what the image then holds.
//
// A failed single-byte write is taken to have written nothing, as the system's
// positioned writes of one byte either put it or fail having put nothing. A
// failed flush leaves every byte it covered unknown until a later flush
// succeeds; a failed close leaves what the flush before it confirmed.
class UndoablePatch {
  public:
    // The image at `path` is open under `fileNumber` for reading and writing and
    // holds both copies. Reads the six code bytes (throws FileError then, with
    // nothing written).
    UndoablePatch(FileLayer& files, int fileNumber, std::string path, const SettingsBlock& block);

    // The present codes written in order, one flush, the close. Nothing on
    // success; after a failure the image is closed and the result tells what it
    // holds. Throws nothing of its own.
    std::optional<PatchFailure> Apply();

  private:
    enum class ByteHolds { Original, New, Unknown };
    static constexpr std::size_t CodeCount = layout::CodeOffsets.size();

    std::optional<FileError> WriteNewCodes();
    std::optional<FileError> PutOriginalsBack(bool stillOpen);
    void ForgetUnflushed();
    ByteHolds Holds(std::size_t index) const;
    CopyHolds Copy(std::size_t first) const;

    FileLayer& files_;
    int fileNumber_;
    std::string path_;
    CodesByOffset codes_;
    std::array<std::uint8_t, CodeCount> originals_;
    std::array<ByteHolds, CodeCount> holds_{};
    std::array<bool, CodeCount> attempted_{}; // the patch tried to write this byte
};

} // namespace koravel
