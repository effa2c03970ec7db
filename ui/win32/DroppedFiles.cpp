#include "ui/win32/DroppedFiles.h"

#include "platform/FileError.h"

namespace koravel::win32 {
namespace {

constexpr UINT kCountFiles = 0xFFFFFFFF;

template <typename Function> void Find(FunctionLoader& loader, Function& to, const char* name) {
    to =
        reinterpret_cast<Function>(reinterpret_cast<void (*)()>(loader.Find(L"shell32.dll", name)));
}

} // namespace

std::optional<std::wstring> DroppedFiles::TakeOnlyFile(HDROP drop) {
    if (!Load()) {
        return std::nullopt; // without shell32 the drop can be neither read nor finished
    }
    std::optional<std::wstring> path;
    if (queryFile_(drop, kCountFiles, nullptr, 0) == 1) {
        // The length the system gives, not MAX_PATH: a dropped path may be longer.
        const UINT length = queryFile_(drop, 0, nullptr, 0);
        std::wstring text(static_cast<std::size_t>(length) + 1, L'\0');
        text.resize(queryFile_(drop, 0, text.data(), length + 1));
        path = std::move(text);
    }
    finish_(drop);
    if (!path || path->empty()) {
        return std::nullopt;
    }
    // A path that cannot be read goes on, for Select's own message about it.
    const DWORD attributes = ::GetFileAttributesW(path->c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
        return std::nullopt;
    }
    return path;
}

bool DroppedFiles::Load() {
    if (finish_ == nullptr) {
        try {
            Find(loader_, queryFile_, "DragQueryFileW");
            Find(loader_, finish_, "DragFinish");
        } catch (const FileError&) {
            finish_ = nullptr; // tried again at the next drop
        }
    }
    return finish_ != nullptr;
}

} // namespace koravel::win32
