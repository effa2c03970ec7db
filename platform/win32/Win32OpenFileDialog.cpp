#include "platform/win32/Win32OpenFileDialog.h"

#include "platform/win32/Utf16.h"

#include <cstddef>

namespace koravel {
namespace {

// The record as it ends with lpTemplateName, the form every comdlg32 accepts.
// OPENFILENAME_SIZE_VERSION_400W says the same but is no constant expression.
constexpr DWORD kRecordSize = offsetof(OPENFILENAMEW, lpTemplateName) + sizeof(LPCWSTR);
static_assert(sizeof(void*) != 8 || kRecordSize == 136);

// Room for the longest path Windows can name.
constexpr std::size_t kFileBufferSize = 32768;
// A name component is at most 255 characters, plus its NUL.
constexpr std::size_t kFileTitleBufferSize = 256;
// The file-title buffer starts as 254 blanks, as a blank name box would.
constexpr std::size_t kInitialBlanks = 254;

std::wstring BlankBuffer(std::size_t size) {
    std::wstring buffer(size, L'\0');
    buffer.replace(0, kInitialBlanks, kInitialBlanks, L' ');
    return buffer;
}

// Description NUL pattern NUL ..., closed by a second NUL.
std::wstring FilterText(const std::vector<FileFilter>& filters) {
    std::wstring text;
    for (const FileFilter& filter : filters) {
        text += win32::WideForDisplay(filter.description);
        text += L'\0';
        text += win32::WideForDisplay(filter.pattern);
        text += L'\0';
    }
    text += L'\0';
    return text;
}

} // namespace

std::optional<std::string> Win32OpenFileDialog::Run(const std::string& title,
                                                    const std::vector<FileFilter>& filters,
                                                    std::uint32_t flags) {
    if (getOpenFileName_ == nullptr) {
        // Through void(*)() so that no cast between unrelated function types
        // is written; a failed look-up throws and is tried again next time.
        getOpenFileName_ = reinterpret_cast<GetOpenFileNameFunction>(
            reinterpret_cast<void (*)()>(loader_.Find(L"comdlg32.dll", "GetOpenFileNameW")));
    }

    const std::wstring filterText = FilterText(filters);
    const std::wstring titleText = win32::WideForDisplay(title);
    // The name box starts empty: Wine's dialog crashes when a name is typed
    // over a box that starts as blanks.
    std::wstring file(kFileBufferSize, L'\0');
    std::wstring fileTitle = BlankBuffer(kFileTitleBufferSize);

    OPENFILENAMEW record{};
    record.lStructSize = kRecordSize;
    record.hwndOwner = owner_;
    record.hInstance = ::GetModuleHandleW(nullptr);
    record.lpstrFilter = filters.empty() ? nullptr : filterText.c_str();
    record.lpstrFile = file.data();
    record.nMaxFile = static_cast<DWORD>(file.size());
    record.lpstrFileTitle = fileTitle.data();
    record.nMaxFileTitle = static_cast<DWORD>(fileTitle.size());
    record.lpstrTitle = titleText.empty() ? nullptr : titleText.c_str();
    record.Flags = flags;

    // Zero is a cancel as well as a failure; either way nothing was chosen.
    if (getOpenFileName_(&record) == 0) {
        return std::nullopt;
    }
    // Up to the first NUL, untouched: blanks at either end belong to the name.
    if (const auto end = file.find(L'\0'); end != std::wstring::npos) {
        file.resize(end);
    }
    return win32::Utf8FromWide(file);
}

} // namespace koravel
