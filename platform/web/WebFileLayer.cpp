#include "platform/web/WebFileLayer.h"

#include "platform/FileError.h"

#include <cstring>
#include <utility>

namespace koravel {

WebFileLayer::~WebFileLayer() {
    for (Slot& slot : slots_) {
        if (slot.IsOpen() && slot.swapOpen) {
            slot.file->Abort();
        }
    }
}

bool WebFileLayer::Exists(const std::string& path) {
    if (path.empty()) {
        return false;
    }
    const std::shared_ptr<PickedFile> file = files_.Find(path);
    if (!file) {
        return false;
    }
    try {
        file->Size();
        return true;
    } catch (const FileError& e) {
        // Only a file that has gone is missing. One the browser may no longer
        // read is there all the same, and opening it tells the user why.
        return e.Number() != err::FileNotFound && e.Number() != err::PathNotFound;
    }
}

void WebFileLayer::Open(int fileNumber, const std::string& path, OpenMode mode) {
    Slot& slot = slots_.At(fileNumber);
    if (slot.IsOpen()) {
        throw FileError(err::FileAlreadyOpen, "File already open");
    }
    std::shared_ptr<PickedFile> file = path.empty() ? nullptr : files_.Find(path);
    if (!file) {
        throw FileError(err::FileNotFound, "File not found");
    }

    Slot opened;
    opened.mode = mode;
    opened.size = file->Size();
    if (mode == OpenMode::ReadWrite) {
        if (file->WritesInPlace()) {
            file->BeginWrite();
            opened.swapOpen = true;
        } else {
            opened.download = true;
            opened.copy = file->Read(0, static_cast<std::size_t>(opened.size));
            if (static_cast<std::int64_t>(opened.copy.size()) != opened.size) {
                throw FileError(err::DeviceIO,
                                "Device I/O error: the file could not be read whole");
            }
        }
    }
    opened.file = std::move(file);
    slot = std::move(opened);
}

SaveTarget WebFileLayer::SavesTo(int fileNumber) {
    return slots_.Open(fileNumber).download ? SaveTarget::Download : SaveTarget::InPlace;
}

bool WebFileLayer::ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) {
    const Slot& slot = slots_.Open(fileNumber);
    file_rules::CheckPosition(position);
    const std::int64_t offset = position - 1;
    if (offset >= slot.size) {
        return false; // at or past the end
    }
    if (slot.download) {
        byte = slot.copy[static_cast<std::size_t>(offset)];
        return true;
    }
    if (const auto found = slot.kept.find(offset); found != slot.kept.end()) {
        byte = found->second; // the file itself still holds the old byte
        return true;
    }
    const std::vector<std::uint8_t> got = slot.file->Read(offset, 1);
    if (got.empty()) {
        return false;
    }
    byte = got.front();
    return true;
}

void WebFileLayer::WriteText(int fileNumber, std::int64_t position, std::string_view text) {
    Slot& slot = slots_.Open(fileNumber);
    file_rules::CheckPosition(position);
    if (text.empty()) {
        return;
    }
    if (slot.mode != OpenMode::ReadWrite) {
        throw file_rules::WriteToReadOnly();
    }
    file_rules::CheckWithinFile(position, text.size(), slot.size);
    const std::int64_t offset = position - 1;

    if (slot.download) {
        std::memcpy(slot.copy.data() + offset, text.data(), text.size());
        slot.uncommitted = true;
        return;
    }
    // What the file holds at each position written, to tell a change from a
    // byte written back.
    const auto length = static_cast<std::int64_t>(text.size());
    for (std::int64_t i = 0; i < length; ++i) {
        if (!slot.holds.contains(offset + i)) {
            const std::vector<std::uint8_t> old = slot.file->Read(offset + i, 1);
            if (old.size() != 1) {
                throw FileError(err::DeviceIO, "Device I/O error: the file could not be read");
            }
            slot.holds.emplace(offset + i, old.front());
        }
    }
    for (std::int64_t i = 0; i < length; ++i) {
        slot.kept[offset + i] = static_cast<std::uint8_t>(text[static_cast<std::size_t>(i)]);
    }
}

std::int64_t WebFileLayer::Length(int fileNumber) {
    return slots_.Open(fileNumber).size;
}

// The kept bytes that differ from what the file holds.
std::map<std::int64_t, std::uint8_t> WebFileLayer::Changes(const Slot& slot) {
    std::map<std::int64_t, std::uint8_t> changes;
    for (const auto& [offset, byte] : slot.kept) {
        const auto held = slot.holds.find(offset);
        if (held == slot.holds.end() || held->second != byte) {
            changes.emplace(offset, byte);
        }
    }
    return changes;
}

void WebFileLayer::Commit(Slot& slot) {
    if (slot.download) {
        slot.file->Download(slot.copy);
        slot.uncommitted = false;
        return;
    }
    const auto changes = Changes(slot);
    if (!changes.empty()) {
        try {
            if (!slot.swapOpen) { // written again after a commit
                slot.file->BeginWrite();
                slot.swapOpen = true;
            }
            for (const auto& [offset, byte] : changes) {
                slot.file->Write(offset, std::span<const std::uint8_t>(&byte, 1));
            }
            slot.swapOpen = false; // closed by the commit, whether or not it lands
            slot.file->Commit();
        } catch (const FileError&) {
            if (slot.swapOpen) {
                slot.file->Abort();
                slot.swapOpen = false;
            }
            slot.failed = true; // the file is as it was; the kept bytes stay kept
            throw;
        }
        for (const auto& [offset, byte] : changes) {
            slot.holds[offset] = byte;
        }
    }
    slot.kept.clear();
    slot.failed = false;
}

void WebFileLayer::Flush(int fileNumber) {
    Slot& slot = slots_.Open(fileNumber);
    if (slot.download ? slot.uncommitted : !slot.kept.empty()) {
        Commit(slot);
    }
}

void WebFileLayer::Close(int fileNumber) {
    Slot& held = slots_.At(fileNumber);
    if (!held.IsOpen()) {
        return;
    }
    Slot slot = std::exchange(held, Slot{}); // the number is free whatever happens next
    const bool pending = slot.download ? slot.uncommitted : !Changes(slot).empty();
    if (pending && !slot.failed) {
        Commit(slot);
    } else if (slot.swapOpen) {
        slot.file->Abort(); // nothing to change, or a failed commit: the file stays as it was
    }
}

} // namespace koravel
