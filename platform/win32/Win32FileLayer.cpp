#include "platform/win32/Win32FileLayer.h"

#include "platform/FileError.h"
#include "platform/win32/UniqueHandle.h"
#include "platform/win32/Utf16.h"
#include "platform/win32/Win32Error.h"
#include "platform/win32/WinApi.h"

#include <algorithm>
#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string_view>
#include <utility>

namespace koravel {

using win32::UniqueFile;
using win32::Win32FileError;
using win32::Win32WriteError;

namespace {

// A path from the user may name another machine's pipe: never let its server act as us.
constexpr DWORD NoImpersonation = SECURITY_SQOS_PRESENT | SECURITY_IDENTIFICATION;

FileError NotAFile() {
    return FileError(err::FileNotFound, "File not found");
}

bool IsSeparator(wchar_t c) {
    return c == L'\\' || c == L'/';
}

bool IsLetter(wchar_t c) {
    return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z');
}

// Compares against an upper-case ASCII name, ignoring the case of ASCII letters only.
bool IsName(std::wstring_view text, std::wstring_view upper) {
    return std::equal(
        text.begin(), text.end(), upper.begin(), upper.end(), [](wchar_t a, wchar_t b) {
            return (a >= L'a' && a <= L'z' ? static_cast<wchar_t>(a - L'a' + L'A') : a) == b;
        });
}

// Windows opens these names as devices in any folder, with any extension, and
// drops the spaces before the extension ("NUL .txt") and a drive ("C:NUL").
bool IsReservedName(std::wstring_view name) {
    if (name.size() >= 2 && IsLetter(name[0]) && name[1] == L':') {
        name.remove_prefix(2);
    }
    name = name.substr(0, name.find_first_of(L".:"));
    while (!name.empty() && name.back() == L' ') {
        name.remove_suffix(1);
    }
    for (const std::wstring_view device : {L"NUL", L"CON", L"PRN", L"AUX", L"CONIN$", L"CONOUT$"}) {
        if (IsName(name, device)) {
            return true;
        }
    }
    if (name.size() == 4 &&
        (IsName(name.substr(0, 3), L"COM") || IsName(name.substr(0, 3), L"LPT"))) {
        const wchar_t digit = name[3];
        return (digit >= L'1' && digit <= L'9') || digit == L'\u00B9' || digit == L'\u00B2' ||
               digit == L'\u00B3';
    }
    return false;
}

// "\\server\pipe\..." and "\\server\mailslot\..." are never shares of files.
bool IsPipeShare(std::wstring_view unc) {
    const std::size_t serverEnd = unc.find_first_of(L"\\/");
    if (serverEnd == std::wstring_view::npos) {
        return false;
    }
    std::wstring_view share = unc.substr(serverEnd + 1);
    share = share.substr(0, share.find_first_of(L"\\/"));
    return IsName(share, L"PIPE") || IsName(share, L"MAILSLOT");
}

// Paths that reach devices rather than files: refused before any open, since
// opening a device can block or talk to hardware. The handle's type is checked
// again after the open, for whatever this misses.
bool IsDevicePath(std::wstring_view path) {
    const bool twoSeparators = path.size() >= 2 && IsSeparator(path[0]) && IsSeparator(path[1]);
    const bool prefixed = twoSeparators && path.size() >= 3 &&
                          (path[2] == L'.' || path[2] == L'?') &&
                          (path.size() == 3 || IsSeparator(path[3]));
    if (prefixed && path[2] == L'.') {
        return true; // \\.\ is the device namespace itself
    }
    if (prefixed || path.substr(0, 4) == L"\\??\\") { // \??\ is \\?\ as the kernel spells it
        const std::wstring_view rest = path.substr(std::min<std::size_t>(path.size(), 4));
        // Past the prefix only a drive or a UNC path is a file; GLOBALROOT, volumes
        // and the rest are not.
        const bool drive =
            rest.size() >= 3 && IsLetter(rest[0]) && rest[1] == L':' && IsSeparator(rest[2]);
        const bool unc =
            rest.size() >= 4 && IsName(rest.substr(0, 3), L"UNC") && IsSeparator(rest[3]);
        if (!drive && !unc) {
            return true;
        }
        if (unc && IsPipeShare(rest.substr(4))) {
            return true;
        }
    } else if (twoSeparators && IsPipeShare(path.substr(2))) {
        return true;
    }
    const std::size_t last = path.find_last_of(L"\\/");
    return IsReservedName(last == std::wstring_view::npos ? path : path.substr(last + 1));
}

// 53 for an empty path, 52 for one that is not UTF-8 or holds a NUL: either
// would otherwise open some other file than the one named.
std::wstring WidePath(const std::string& path) {
    if (path.empty()) {
        throw NotAFile();
    }
    std::optional<std::wstring> wide = win32::WideFromUtf8(path);
    if (!wide || wide->find(L'\0') != std::wstring::npos) {
        throw FileError(err::BadFileNameOrNumber,
                        "Bad file name or number: the file name is not valid UTF-8 text");
    }
    return std::move(*wide);
}

// A CD or DVD, or a volume mounted read-only, refuses writing as "access
// denied", and its files carry a read-only attribute that no one can clear
// there: the user must hear of a write-protected disk instead.
bool OnReadOnlyVolume(const std::wstring& path) {
    std::wstring root(std::max<std::size_t>(path.size(), MAX_PATH) + 1, L'\0');
    if (!::GetVolumePathNameW(path.c_str(), root.data(), static_cast<DWORD>(root.size()))) {
        return false;
    }
    DWORD flags = 0;
    return ::GetVolumeInformationW(root.c_str(), nullptr, 0, nullptr, nullptr, &flags, nullptr,
                                   0) &&
           (flags & FILE_READ_ONLY_VOLUME) != 0;
}

OVERLAPPED At(std::uint64_t offset) {
    OVERLAPPED at{};
    at.Offset = static_cast<DWORD>(offset & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(offset >> 32);
    return at;
}

std::int64_t SizeOf(HANDLE handle) {
    LARGE_INTEGER size{};
    if (!::GetFileSizeEx(handle, &size)) {
        throw Win32FileError(::GetLastError());
    }
    return size.QuadPart;
}

// An open file's attributes. The basic information holds them and is the
// cheapest query: the full record also asks the volume for its serial number.
bool AttributesOf(HANDLE file, DWORD& attributes) {
    FILE_BASIC_INFO basic{};
    if (!::GetFileInformationByHandleEx(file, FileBasicInfo, &basic, sizeof(basic))) {
        return false;
    }
    attributes = basic.FileAttributes;
    return true;
}

} // namespace

Win32FileLayer::~Win32FileLayer() {
    for (Slot& slot : slots_) {
        if (slot.handle != nullptr) {
            ::CloseHandle(slot.handle);
        }
    }
}

bool Win32FileLayer::Exists(const std::string& path) noexcept {
    try {
        const std::wstring wide = WidePath(path);
        if (IsDevicePath(wide)) {
            return false;
        }
        // Opened rather than asked for its attributes: GetFileAttributesW answers
        // for some devices and for a link whose target is gone, and only the
        // handle's type tells a disk file. No access asked means no share mode
        // refuses us, so a file that another program holds still exists; backup
        // semantics let a folder open, to be told apart.
        UniqueFile file(::CreateFileW(
            wide.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
            OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS | NoImpersonation, nullptr));
        if (!file) {
            // Refused even that (an access list, a paging file): the name is there,
            // and Open will say why (70 for the access list, 75 for a file in use).
            const DWORD code = ::GetLastError();
            if (code != ERROR_ACCESS_DENIED && code != ERROR_SHARING_VIOLATION) {
                return false;
            }
            const DWORD attributes = ::GetFileAttributesW(wide.c_str());
            return attributes != INVALID_FILE_ATTRIBUTES &&
                   (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
        }
        DWORD attributes = 0;
        return ::GetFileType(file.Get()) == FILE_TYPE_DISK &&
               AttributesOf(file.Get(), attributes) && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
    } catch (...) {
        return false; // a bad name, or no memory to convert it: nothing to find
    }
}

void Win32FileLayer::Open(int fileNumber, const std::string& path, OpenMode mode) {
    Slot& slot = slots_.At(fileNumber);
    if (slot.handle != nullptr) {
        throw FileError(err::FileAlreadyOpen, "File already open");
    }
    const std::wstring wide = WidePath(path);
    if (IsDevicePath(wide)) {
        throw NotAFile();
    }

    // OPEN_EXISTING only: never created, never truncated. Writing shares
    // nothing: any other program that has the image open, even one that only
    // reads it and lets others write (a viewer, an emulator), makes this fail
    // with a sharing violation, and no program can open it while we write.
    const bool writing = mode == OpenMode::ReadWrite;
    UniqueFile file(::CreateFileW(wide.c_str(),
                                  writing ? GENERIC_READ | GENERIC_WRITE : GENERIC_READ,
                                  writing ? 0 : FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL | NoImpersonation, nullptr));
    if (!file) {
        const DWORD code = ::GetLastError();
        if (code != ERROR_ACCESS_DENIED) {
            throw writing ? Win32WriteError(code) : Win32FileError(code);
        }
        // "Access denied" also means a folder, and, when writing, a read-only
        // file as well as an access list: only the attributes tell them apart.
        const DWORD attributes = ::GetFileAttributesW(wide.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
            throw NotAFile();
        }
        if (!writing) {
            throw Win32FileError(code);
        }
        throw Win32WriteError(OnReadOnlyVolume(wide) ? ERROR_WRITE_PROTECT : code, attributes);
    }

    if (::GetFileType(file.Get()) != FILE_TYPE_DISK) {
        throw NotAFile();
    }
    DWORD attributes = 0;
    if (!AttributesOf(file.Get(), attributes)) {
        throw Win32FileError(::GetLastError());
    }
    if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        throw NotAFile();
    }

    slot = Slot{file.Release(), mode};
}

bool Win32FileLayer::ReadByte(int fileNumber, std::int64_t position, std::uint8_t& byte) {
    const Slot& slot = slots_.Open(fileNumber);
    file_rules::CheckPosition(position);
    OVERLAPPED at = At(static_cast<std::uint64_t>(position - 1));
    std::uint8_t value = 0;
    DWORD got = 0;
    if (!::ReadFile(slot.handle, &value, 1, &got, &at)) {
        const DWORD code = ::GetLastError();
        if (code == ERROR_HANDLE_EOF) {
            return false; // past the end
        }
        throw Win32FileError(code);
    }
    if (got == 0) {
        return false; // at the end
    }
    byte = value;
    return true;
}

void Win32FileLayer::WriteText(int fileNumber, std::int64_t position, std::string_view text) {
    const Slot& slot = slots_.Open(fileNumber);
    file_rules::CheckPosition(position);
    if (text.empty()) {
        return;
    }
    if (slot.mode != OpenMode::ReadWrite) {
        throw file_rules::WriteToReadOnly();
    }

    file_rules::CheckWithinFile(position, text.size(), SizeOf(slot.handle));
    std::uint64_t offset = static_cast<std::uint64_t>(position - 1);

    const char* data = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        const auto chunk = static_cast<DWORD>(std::min<std::size_t>(left, 1u << 30));
        OVERLAPPED at = At(offset);
        DWORD put = 0;
        if (!::WriteFile(slot.handle, data, chunk, &put, &at)) {
            throw Win32WriteError(::GetLastError());
        }
        if (put == 0) {
            throw FileError(err::DeviceIO, "Device I/O error: the file took no data");
        }
        data += put;
        left -= put;
        offset += put;
    }
}

std::int64_t Win32FileLayer::Length(int fileNumber) {
    return SizeOf(slots_.Open(fileNumber).handle);
}

void Win32FileLayer::Flush(int fileNumber) {
    const Slot& slot = slots_.Open(fileNumber);
    // Nothing was written through a reading handle, and Windows refuses to flush one.
    if (slot.mode != OpenMode::ReadWrite) {
        return;
    }
    if (!::FlushFileBuffers(slot.handle)) {
        throw Win32WriteError(::GetLastError());
    }
}

void Win32FileLayer::Close(int fileNumber) {
    Slot& slot = slots_.At(fileNumber);
    if (slot.handle == nullptr) {
        return;
    }
    // The number is free whatever CloseHandle says.
    void* const handle = std::exchange(slot.handle, nullptr);
    if (!::CloseHandle(handle)) {
        throw Win32FileError(::GetLastError()); // a failed close can mean lost data
    }
}

} // namespace koravel
