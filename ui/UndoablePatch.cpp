#include "ui/UndoablePatch.h"

#include "platform/FileLayer.h"

#include <exception>
#include <utility>

namespace koravel {
namespace {

// Runs one file operation and gives back its failure instead of throwing it.
template <typename Step> std::optional<FileError> Attempt(Step step) {
    try {
        step();
        return std::nullopt;
    } catch (const FileError& e) {
        return e;
    } catch (const std::exception& e) {
        return FileError(err::InternalError, e.what());
    }
}

} // namespace

UndoablePatch::UndoablePatch(FileLayer& files, int fileNumber, std::string path,
                             const SettingsBlock& block)
    : files_(files), fileNumber_(fileNumber), path_(std::move(path)),
      codes_(CodesInWriteOrder(block)), originals_(ReadCodeBytes(files, fileNumber)) {
    holds_.fill(ByteHolds::Original);
}

std::optional<PatchFailure> UndoablePatch::Apply() {
    bool stillOpen = true;
    std::optional<FileError> error = WriteNewCodes();
    if (!error) {
        error = Attempt([this] { files_.Flush(fileNumber_); });
        if (error) {
            ForgetUnflushed();
        }
    }
    if (!error) {
        error = Attempt([this] { files_.Close(fileNumber_); });
        if (!error) {
            return std::nullopt;
        }
        stillOpen = false; // a failed close frees the number all the same
    }
    PatchFailure failure{*error, PutOriginalsBack(stillOpen)};
    failure.primary = Copy(0);
    failure.mirror = Copy(layout::CodesPerCopy);
    return failure;
}

// Stops at the first failure; the byte it failed on keeps its value.
std::optional<FileError> UndoablePatch::WriteNewCodes() {
    for (std::size_t i = 0; i < CodeCount; ++i) {
        if (!codes_[i]) {
            continue;
        }
        attempted_[i] = true;
        if (auto error = Attempt([&] { WriteCodeByte(files_, fileNumber_, i, *codes_[i]); })) {
            return error;
        }
        holds_[i] = ByteHolds::New;
    }
    return std::nullopt;
}

// Writes the original byte back wherever the patch tried to write, in the same
// order, going on past failures so that as much as can be is put back; then
// flushes and closes. After a failed close the image is opened again first.
// Gives the first failure.
std::optional<FileError> UndoablePatch::PutOriginalsBack(bool stillOpen) {
    std::optional<FileError> first;
    const auto failed = [&first](std::optional<FileError> error) {
        const bool didFail = error.has_value();
        if (didFail && !first) {
            first = std::move(error);
        }
        return didFail;
    };
    if (!stillOpen &&
        failed(Attempt([this] { files_.Open(fileNumber_, path_, OpenMode::ReadWrite); }))) {
        return first;
    }
    for (std::size_t i = 0; i < CodeCount; ++i) {
        if (attempted_[i] &&
            !failed(Attempt([&] { WriteCodeByte(files_, fileNumber_, i, originals_[i]); }))) {
            holds_[i] = ByteHolds::Original;
        }
    }
    if (failed(Attempt([this] { files_.Flush(fileNumber_); }))) {
        ForgetUnflushed();
    }
    // A close that fails after a good flush changes nothing that the flush
    // confirmed: what the bytes hold stands.
    failed(Attempt([this] { files_.Close(fileNumber_); }));
    return first;
}

// After a failed flush, no byte written since the last good one is known to be
// on the storage, whatever value it was given.
void UndoablePatch::ForgetUnflushed() {
    for (std::size_t i = 0; i < CodeCount; ++i) {
        if (attempted_[i]) {
            holds_[i] = ByteHolds::Unknown;
        }
    }
}

// A byte whose new code equals its original holds both, whatever happened to it.
UndoablePatch::ByteHolds UndoablePatch::Holds(std::size_t index) const {
    if (!codes_[index] || *codes_[index] == originals_[index]) {
        return ByteHolds::Original;
    }
    return holds_[index];
}

CopyHolds UndoablePatch::Copy(std::size_t first) const {
    bool allOriginal = true;
    bool allNew = true;
    for (std::size_t i = first; i < first + layout::CodesPerCopy; ++i) {
        const ByteHolds holds = Holds(i);
        if (holds == ByteHolds::Unknown) {
            return CopyHolds::Unknown;
        }
        const bool isNew = holds == ByteHolds::New || !codes_[i] || *codes_[i] == originals_[i];
        allOriginal = allOriginal && holds == ByteHolds::Original;
        allNew = allNew && isNew;
    }
    return allOriginal ? CopyHolds::Original : allNew ? CopyHolds::New : CopyHolds::Mixed;
}

} // namespace koravel
