#include "platform/web/BrowserCalls.h"

#include "platform/FileError.h"

#include <emscripten.h>

#include <vector>

// clang-format off
EM_JS(int, koravel_last_error_size, (), {
    return lengthBytesUTF8(Module.koravelError) + 1;
});
EM_JS(void, koravel_last_error_copy, (char* buffer, int size), {
    stringToUTF8(Module.koravelError, buffer, size);
});
// clang-format on

namespace koravel::browser {

std::string LastError() {
    std::vector<char> text(static_cast<std::size_t>(koravel_last_error_size()));
    koravel_last_error_copy(text.data(), static_cast<int>(text.size()));
    return std::string(text.data());
}

void ThrowIfFailed(double result) {
    if (result < 0) {
        throw FileError(static_cast<int>(-result), LastError());
    }
}

} // namespace koravel::browser
