#include "platform/win32/Utf16.h"

#include "platform/win32/WinApi.h"

#include <climits>

namespace koravel::win32 {
namespace {

std::optional<std::wstring> Convert(std::string_view text, DWORD flags) {
    if (text.empty()) {
        return std::wstring();
    }
    if (text.size() > INT_MAX) {
        return std::nullopt;
    }
    const int size = static_cast<int>(text.size());
    const int wide = ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, nullptr, 0);
    if (wide <= 0) {
        return std::nullopt;
    }
    std::wstring out(static_cast<std::size_t>(wide), L'\0');
    ::MultiByteToWideChar(CP_UTF8, flags, text.data(), size, out.data(), wide);
    return out;
}

} // namespace

std::optional<std::wstring> WideFromUtf8(std::string_view text) {
    return Convert(text, MB_ERR_INVALID_CHARS);
}

std::wstring WideForDisplay(std::string_view text) {
    return Convert(text, 0).value_or(std::wstring());
}

std::string Utf8FromWide(std::wstring_view text) {
    if (text.empty() || text.size() > INT_MAX) {
        return std::string();
    }
    const int size = static_cast<int>(text.size());
    const int bytes =
        ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0) {
        return std::string();
    }
    std::string out(static_cast<std::size_t>(bytes), '\0');
    ::WideCharToMultiByte(CP_UTF8, 0, text.data(), size, out.data(), bytes, nullptr, nullptr);
    return out;
}

} // namespace koravel::win32
