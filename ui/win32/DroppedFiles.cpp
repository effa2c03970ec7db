#include "ui/win32/DroppedFiles.h"

#include "platform/FileError.h"

namespace koravel::win32 {
namespace {

constexpr UINT kCountFiles = 0xFFFFFFFF;

// A full path in the form that names it at any length, as a drop's may be
// longer than MAX_PATH.
std::wstring LongForm(const std::wstring& path) {
    if (path.size() > 2 && path[1] == L':' && path[2] == L'\\') {
        return L"\\\\?\\" + path;
    }
    if (path.rfind(L"\\\\", 0) == 0 && path.rfind(L"\\\\?\\", 0) != 0) {
        return L"\\\\?\\UNC\\" + path.substr(2);
    }
    return path;
}

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
    // A folder, or a name that is not there, is refused, as the Open dialog
    // refuses them.
    const DWORD attributes = ::GetFileAttributesW(LongForm(*path).c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
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
