#include "platform/win32/SystemFunctions.h"

#include "platform/FileError.h"
#include "platform/win32/Utf16.h"

#include <string_view>

namespace koravel::win32 {
namespace {

constexpr int kEntryPointNotFound = 453;

// The code is only worth showing when it says more than the number does.
std::string Detail(DWORD code, DWORD expected) {
    if (code == expected || code == ERROR_SUCCESS) {
        return std::string();
    }
    return " (Windows error " + std::to_string(code) + ")";
}

bool SameName(std::wstring_view a, std::wstring_view b) {
    return ::CompareStringOrdinal(a.data(), static_cast<int>(a.size()), b.data(),
                                  static_cast<int>(b.size()), TRUE) == CSTR_EQUAL;
}

} // namespace

FARPROC SystemFolderLoader::Find(const wchar_t* library, const char* function) {
    const std::wstring_view name(library);
    const std::string shownName = Utf8FromWide(name);

    HMODULE module = nullptr;
    for (const Loaded& entry : loaded_) {
        if (SameName(entry.name, name)) {
            module = entry.module.Get();
            break;
        }
    }
    if (module == nullptr) {
        // A name with a folder in it would be loaded from that folder, not the
        // system's: refuse it rather than load someone else's DLL.
        if (name.empty() || name.find_first_of(L"\\/:") != std::wstring_view::npos) {
            throw FileError(err::FileNotFound, "File not found: " + shownName);
        }
        const HMODULE raw = ::LoadLibraryExW(library, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
        const DWORD code = ::GetLastError();
        UniqueModule loaded(raw);
        if (!loaded) {
            throw FileError(err::FileNotFound,
                            "File not found: " + shownName + Detail(code, ERROR_MOD_NOT_FOUND));
        }
        module = loaded.Get();
        loaded_.push_back({std::wstring(name), std::move(loaded)});
    }

    const FARPROC address = ::GetProcAddress(module, function);
    const DWORD code = ::GetLastError();
    if (address == nullptr) {
        throw FileError(kEntryPointNotFound, "Can't find DLL entry point " + std::string(function) +
                                                 " in " + shownName +
                                                 Detail(code, ERROR_PROC_NOT_FOUND));
    }
    return address;
}

} // namespace koravel::win32
