#include "tests/support/web/LocalPickedFiles.h"

#include "platform/FileError.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <optional>

#include <sys/stat.h>
#include <unistd.h>

namespace koravel::testing {

namespace {

bool IsRegularFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

class LocalFile : public PickedFile {
  public:
    explicit LocalFile(std::string path) : path_(std::move(path)) {}

    std::int64_t Size() override {
        struct stat st {};
        if (::stat(path_.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) {
            throw FileError(err::FileNotFound, "File not found");
        }
        return st.st_size;
    }

    std::vector<std::uint8_t> Read(std::int64_t offset, std::size_t length) override {
        std::ifstream in(path_, std::ios::binary);
        if (!in) {
            throw FileError(err::DeviceIO, "Device I/O error: cannot read " + path_);
        }
        std::vector<std::uint8_t> bytes(length);
        in.seekg(offset);
        in.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(length));
        bytes.resize(in ? length
                        : static_cast<std::size_t>(std::max<std::streamsize>(in.gcount(), 0)));
        return bytes;
    }

    bool WritesInPlace() override { return true; }

    void BeginWrite() override {
        if (::access(path_.c_str(), W_OK) != 0) {
            throw FileError(err::PathFileAccess, "Path/File access error: permission denied");
        }
        swap_ = Whole();
    }

    void Write(std::int64_t offset, std::span<const std::uint8_t> bytes) override {
        const auto at = static_cast<std::size_t>(offset);
        if (swap_->size() < at + bytes.size()) {
            swap_->resize(at + bytes.size());
        }
        std::copy(bytes.begin(), bytes.end(), swap_->begin() + static_cast<std::ptrdiff_t>(at));
    }

    void Commit() override {
        Replace(*swap_);
        swap_.reset();
    }

    void Abort() noexcept override { swap_.reset(); }

    void Download(std::span<const std::uint8_t> bytes) override { Replace(bytes); }

  private:
    std::vector<std::uint8_t> Whole() const {
        std::ifstream in(path_, std::ios::binary);
        if (!in) {
            throw FileError(err::DeviceIO, "Device I/O error: cannot read " + path_);
        }
        return std::vector<std::uint8_t>(std::istreambuf_iterator<char>(in),
                                         std::istreambuf_iterator<char>());
    }

    void Replace(std::span<const std::uint8_t> bytes) const {
        std::ofstream out(path_, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            throw FileError(err::DeviceIO, "Device I/O error: cannot write " + path_);
        }
    }

    std::string path_;
    std::optional<std::vector<std::uint8_t>> swap_;
};

} // namespace

std::shared_ptr<PickedFile> LocalPickedFiles::Find(const std::string& path) {
    if (!IsRegularFile(path)) {
        return nullptr;
    }
    return std::make_shared<LocalFile>(path);
}

} // namespace koravel::testing
