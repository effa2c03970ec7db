#include "platform/win32/Win32Error.h"

#include "platform/win32/Utf16.h"
#include "platform/win32/WinApi.h"

#include <string>

namespace koravel::win32 {

namespace {

FileError WithCause(int number, const char* head, std::uint32_t code) {
    return FileError(number, std::string(head) + ": " + SystemMessageText(code));
}

// In the user's words rather than the system's "Access is denied", which reads
// as if someone else were in the way.
FileError Denied(const char* cause) {
    return FileError(err::PermissionDenied, std::string("Permission denied: ") + cause);
}

// Frees what FormatMessageW allocated for us.
class LocalText {
  public:
    LocalText() = default;
    ~LocalText() {
        if (text_ != nullptr) {
            ::LocalFree(text_);
        }
    }
    LocalText(const LocalText&) = delete;
    LocalText& operator=(const LocalText&) = delete;

    wchar_t** Receiver() { return &text_; }
    const wchar_t* Get() const { return text_; }

  private:
    wchar_t* text_ = nullptr;
};

} // namespace

std::string SystemMessageText(std::uint32_t code) {
    LocalText buffer;
    // IGNORE_INSERTS: some texts hold %1 placeholders that we have nothing to fill with.
    const DWORD length = ::FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, code, 0, reinterpret_cast<wchar_t*>(buffer.Receiver()), 0, nullptr);
    std::wstring_view text(buffer.Get() != nullptr ? buffer.Get() : L"", length);
    while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n' || text.back() == L' ' ||
                             text.back() == L'\t')) {
        text.remove_suffix(1);
    }
    if (text.empty()) {
        return "error " + std::to_string(code);
    }
    return Utf8FromWide(text);
}

FileError Win32FileError(std::uint32_t code) {
    switch (code) {
    case ERROR_SHARING_VIOLATION: // another program has the file open
    case ERROR_LOCK_VIOLATION:    // another program has locked part of it
        return WithCause(err::PathFileAccess, "Path/File access error", code);
    case ERROR_ACCESS_DENIED:
        return Denied("the file's permissions do not allow it");
    case ERROR_WRITE_PROTECT:
        return Denied("the disk that holds the file is write-protected");
    case ERROR_FILE_NOT_FOUND:
        return WithCause(err::FileNotFound, "File not found", code);
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_FILENAME_EXCED_RANGE:
        return WithCause(err::PathNotFound, "Path not found", code);
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
        return WithCause(err::DiskFull, "Disk full", code);
    case ERROR_TOO_MANY_OPEN_FILES:
        return WithCause(err::TooManyFiles, "Too many files", code);
    default:
        return WithCause(err::DeviceIO, "Device I/O error", code);
    }
}

FileError Win32WriteError(std::uint32_t code, std::uint32_t attributes) {
    switch (code) {
    case ERROR_ACCESS_DENIED:
        if (attributes != UnknownAttributes && (attributes & FILE_ATTRIBUTE_READONLY) != 0) {
            return Denied("the file is marked read-only. Right-click it, choose Properties, "
                          "clear \"Read-only\", press OK, then press Patch again.");
        }
        return Denied("your Windows account may not change this file. Copy it to a folder of "
                      "your own, such as Documents, and patch the copy.");
    case ERROR_WRITE_PROTECT:
        return Denied("the disk that holds the file is write-protected (a locked memory card, "
                      "a CD or DVD). Copy the file to a folder of your own, such as Documents, "
                      "and patch the copy.");
    default:
        return Win32FileError(code);
    }
}

} // namespace koravel::win32
