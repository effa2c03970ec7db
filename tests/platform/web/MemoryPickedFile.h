#pragma once

#include "platform/FileError.h"
#include "platform/web/PickedFile.h"

#include <optional>
#include <string>
#include <vector>

namespace koravel::testing {

// A picked file held in memory, behaving as a browser's: a swap copy that
// starts as the file and replaces it at Commit, or a download. Each way the
// browser can refuse or fail can be switched on; every call is recorded.
class MemoryPickedFile : public PickedFile {
  public:
    MemoryPickedFile(std::string name, std::vector<std::uint8_t> bytes, bool inPlace = true)
        : name(std::move(name)), bytes(std::move(bytes)), inPlace(inPlace) {}

    std::int64_t Size() override {
        if (gone) {
            throw FileError(err::FileNotFound, "File not found: gone");
        }
        if (unreadable) {
            throw FileError(err::PermissionDenied, "Permission denied: not allowed to read");
        }
        return static_cast<std::int64_t>(bytes.size());
    }
    std::vector<std::uint8_t> Read(std::int64_t offset, std::size_t length) override {
        ++reads;
        if (gone) {
            throw FileError(err::FileNotFound, "File not found: gone");
        }
        const auto start = std::min(bytes.size(), static_cast<std::size_t>(offset));
        const auto stop = std::min(bytes.size(), start + length);
        return std::vector<std::uint8_t>(bytes.begin() + static_cast<std::ptrdiff_t>(start),
                                         bytes.begin() + static_cast<std::ptrdiff_t>(stop));
    }
    bool WritesInPlace() override { return inPlace; }
    void BeginWrite() override {
        ++beginWrites;
        if (refuse) {
            throw FileError(err::PathFileAccess, "Path/File access error: refused");
        }
        swap = bytes;
    }
    void Write(std::int64_t offset, std::span<const std::uint8_t> data) override {
        if (!swap) {
            throw std::logic_error("write without a swap copy");
        }
        if (++writes == failWrite) {
            throw FileError(err::PathFileAccess, "Path/File access error: locked");
        }
        // A swap copy can grow; the layer must never ask it to.
        if (swap->size() < static_cast<std::size_t>(offset) + data.size()) {
            swap->resize(static_cast<std::size_t>(offset) + data.size());
        }
        std::copy(data.begin(), data.end(), swap->begin() + offset);
    }
    void Commit() override {
        ++commits;
        if (failCommit) {
            swap.reset();
            throw FileError(err::PathFileAccess, "Path/File access error: changed elsewhere");
        }
        bytes = *swap;
        swap.reset();
    }
    void Abort() noexcept override {
        ++aborts;
        swap.reset();
    }
    void Download(std::span<const std::uint8_t> data) override {
        downloads.emplace_back(data.begin(), data.end());
    }

    std::string name;
    std::vector<std::uint8_t> bytes;
    bool inPlace;
    bool gone = false;
    bool unreadable = false; // there, but the browser may no longer read it
    bool refuse = false;
    bool failCommit = false;
    int failWrite = 0; // the n-th write fails (from 1), 0 for none
    std::optional<std::vector<std::uint8_t>> swap;
    int reads = 0, beginWrites = 0, writes = 0, commits = 0, aborts = 0;
    std::vector<std::vector<std::uint8_t>> downloads;
};

// Finds the one file by its exact name, as the page finds the picked file.
class OnePickedFile : public PickedFiles {
  public:
    explicit OnePickedFile(std::shared_ptr<MemoryPickedFile> file) : file(std::move(file)) {}
    std::shared_ptr<PickedFile> Find(const std::string& path) override {
        return file && path == file->name ? file : nullptr;
    }
    std::shared_ptr<MemoryPickedFile> file;
};

} // namespace koravel::testing
