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
    } catch (const FileError&) {
        return false; // gone, or changed since it was picked
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
    if (const auto found = slot.written.find(offset); found != slot.written.end()) {
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
    const std::span<const std::uint8_t> bytes(reinterpret_cast<const std::uint8_t*>(text.data()),
                                              text.size());

    if (slot.download) {
        std::memcpy(slot.copy.data() + offset, bytes.data(), bytes.size());
        slot.uncommitted = true;
        return;
    }
    if (slot.failed) {
        throw FileError(err::DeviceIO, "Device I/O error: an earlier change to the file failed");
    }
    try {
        if (!slot.swapOpen) { // written again after a Flush
            slot.file->BeginWrite();
            slot.swapOpen = true;
        }
        slot.file->Write(offset, bytes);
    } catch (const FileError&) {
        slot.failed = true;
        throw;
    }
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        slot.written[offset + static_cast<std::int64_t>(i)] = bytes[i];
    }
    slot.uncommitted = true;
}

std::int64_t WebFileLayer::Length(int fileNumber) {
    return slots_.Open(fileNumber).size;
}

void WebFileLayer::Commit(Slot& slot) {
    if (slot.download) {
        slot.file->Download(slot.copy);
    } else {
        slot.swapOpen = false; // closed by the commit, whether or not it worked
        try {
            slot.file->Commit();
        } catch (const FileError&) {
            slot.failed = true;
            throw;
        }
    }
    slot.uncommitted = false;
}

void WebFileLayer::Flush(int fileNumber) {
    Slot& slot = slots_.Open(fileNumber);
    if (slot.failed) {
        throw FileError(err::DeviceIO, "Device I/O error: an earlier change to the file failed");
    }
    if (slot.uncommitted) {
        Commit(slot);
    }
}

void WebFileLayer::Close(int fileNumber) {
    Slot& held = slots_.At(fileNumber);
    if (!held.IsOpen()) {
        return;
    }
    Slot slot = std::exchange(held, Slot{}); // the number is free whatever happens next
    if (slot.uncommitted && !slot.failed) {
        Commit(slot);
    } else if (slot.swapOpen) {
        slot.file->Abort(); // nothing written, or spoilt: the file stays as it was
    }
}

} // namespace koravel
