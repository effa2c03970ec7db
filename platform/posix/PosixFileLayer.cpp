#include "platform/posix/PosixFileLayer.h"

#include "platform/FileError.h"
#include "platform/posix/ErrnoError.h"
#include "platform/posix/OtherOpeners.h"
#include "platform/posix/PortalMounts.h"

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace koravel {

namespace {

// Closes a freshly opened descriptor unless Open hands it over to a slot.
class PendingFd {
  public:
    explicit PendingFd(int fd) : fd_(fd) {}
    ~PendingFd() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    PendingFd(const PendingFd&) = delete;
    PendingFd& operator=(const PendingFd&) = delete;

    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }

  private:
    int fd_;
};

// open() says ENOENT both for a missing file and for a missing folder on the way.
bool ParentIsFolder(const std::string& path) {
    std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (parent.empty()) {
        parent = ".";
    }
    struct stat st {};
    return ::stat(parent.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

} // namespace

PosixFileLayer::~PosixFileLayer() {
    for (Slot& slot : slots_) {
        if (slot.fd >= 0) {
            ::close(slot.fd);
        }
    }
}

bool PosixFileLayer::Exists(const std::string& path) noexcept {
    struct stat st {};
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

void PosixFileLayer::Open(int fileNumber, const std::string& path, OpenMode mode) {
    Slot& slot = slots_.At(fileNumber);
    if (slot.fd >= 0) {
        throw FileError(err::FileAlreadyOpen, "File already open");
    }
    if (path.empty()) {
        throw FileError(err::FileNotFound, "File not found");
    }

    // Never O_CREAT or O_TRUNC. O_NONBLOCK keeps a FIFO from stalling us until the
    // fstat below turns it away; on a regular file it changes nothing, so it stays.
    const int access = mode == OpenMode::ReadWrite ? O_RDWR : O_RDONLY;
    int fd;
    do {
        fd = ::open(path.c_str(), access | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    } while (fd < 0 && errno == EINTR);
    if (fd < 0) {
        const int errnum = errno;
        if (errnum == ENOENT && !ParentIsFolder(path)) {
            throw FileError(err::PathNotFound, "Path not found");
        }
        if (mode == OpenMode::ReadWrite && errnum == EACCES && OnDocumentPortal(path)) {
            throw PortalReadOnlyError(); // not the user's permissions: the portal's grant
        }
        throw mode == OpenMode::ReadWrite ? ErrnoWriteError(errnum) : ErrnoError(errnum);
    }
    PendingFd pending(fd);

    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throw ErrnoError(errno);
    }
    if (!S_ISREG(st.st_mode)) {
        throw FileError(err::FileNotFound, "File not found");
    }

    std::string unseen;
    if (mode == OpenMode::ReadWrite) {
        // Most programs that have an image open take no lock: a dump tool
        // still writing it, an emulator, a hex editor. Where the system can
        // tell, any other opener refuses the write as well; where it cannot,
        // the caller learns why, to say so.
        const OpenerFacts facts = CheckOpeners(fd);
        const OpenerVerdict verdict = JudgeOpeners(facts);
        switch (verdict.kind) {
        case OpenerVerdict::Kind::Held:
            throw FileError(err::PathFileAccess, verdict.why);
        case OpenerVerdict::Kind::LockFailed:
            throw ErrnoWriteError(verdict.errnum);
        case OpenerVerdict::Kind::CannotTell:
            unseen = verdict.why;
            break;
        case OpenerVerdict::Kind::Free:
            break;
        }
    }

    slot = Slot{pending.Release(), mode, std::move(unseen)};
}

bool PosixFileLayer::ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) {
    const Slot& slot = slots_.Open(fileNumber);
    file_rules::CheckPosition(position);
    std::uint8_t value = 0;
    ssize_t got;
    do {
        got = ::pread(slot.fd, &value, 1, position - 1);
    } while (got < 0 && errno == EINTR);
    if (got < 0) {
        throw ErrnoError(errno);
    }
    if (got == 0) {
        return false; // at or past the end
    }
    byte = value;
    return true;
}

void PosixFileLayer::WriteText(int fileNumber, std::int64_t position, std::string_view text) {
    const Slot& slot = slots_.Open(fileNumber);
    file_rules::CheckPosition(position);
    if (text.empty()) {
        return;
    }
    if (slot.mode != OpenMode::ReadWrite) {
        throw file_rules::WriteToReadOnly();
    }

    file_rules::CheckWithinFile(position, text.size(), SizeOf(slot.fd));
    const auto offset = static_cast<std::uint64_t>(position - 1);

    const char* data = text.data();
    std::size_t left = text.size();
    auto at = static_cast<off_t>(offset);
    while (left > 0) {
        const ssize_t put = ::pwrite(slot.fd, data, left, at);
        if (put < 0 && errno == EINTR) {
            continue;
        }
        if (put < 0) {
            throw ErrnoWriteError(errno);
        }
        if (put == 0) {
            throw FileError(err::DeviceIO, "Device I/O error: the file took no data");
        }
        data += put;
        left -= static_cast<std::size_t>(put);
        at += put;
    }
}

std::optional<std::string> PosixFileLayer::WhyOtherOpenersUnseen(int fileNumber) {
    const Slot& slot = slots_.Open(fileNumber);
    if (slot.unseenBecause.empty()) {
        return std::nullopt;
    }
    return slot.unseenBecause;
}

std::int64_t PosixFileLayer::Length(int fileNumber) {
    return SizeOf(slots_.Open(fileNumber).fd);
}

std::int64_t PosixFileLayer::SizeOf(int fd) {
    struct stat st {};
    if (::fstat(fd, &st) != 0) {
        throw ErrnoError(errno);
    }
    return static_cast<std::int64_t>(st.st_size);
}

void PosixFileLayer::Flush(int fileNumber) {
    const Slot& slot = slots_.Open(fileNumber);
    int synced;
    do {
        synced = ::fsync(slot.fd);
    } while (synced != 0 && errno == EINTR);
    if (synced != 0) {
        throw ErrnoWriteError(errno);
    }
}

void PosixFileLayer::Close(int fileNumber) {
    Slot& slot = slots_.At(fileNumber);
    if (slot.fd < 0) {
        return;
    }
    // The number is free whatever close() says. No LOCK_UN first: close() drops
    // the lock only once the data has been handed over, so nobody slips in between.
    const int fd = std::exchange(slot.fd, -1);
    if (::close(fd) != 0) {
        throw ErrnoError(errno); // a failed close can mean lost data
    }
}

} // namespace koravel
