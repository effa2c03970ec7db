#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace koravel::win32 {

// UTF-8 to UTF-16, strictly: nothing when the text is not valid UTF-8, so a
// broken file name is refused instead of opening some other file.
std::optional<std::wstring> WideFromUtf8(std::string_view text);

// UTF-8 to UTF-16 for texts that are only shown: invalid bytes become U+FFFD.
std::wstring WideForDisplay(std::string_view text);

// UTF-16 to UTF-8; an unpaired surrogate becomes U+FFFD.
std::string Utf8FromWide(std::wstring_view text);

} // namespace koravel::win32
