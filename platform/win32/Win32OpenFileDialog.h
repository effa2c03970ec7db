#pragma once

#include "platform/OpenFileDialog.h"
#include "platform/win32/SystemFunctions.h"

struct HWND__;

namespace koravel {

// The Windows common open-file dialog, GetOpenFileNameW of comdlg32.dll,
// reached by name on the first call and modal to its owner window.
class Win32OpenFileDialog : public OpenFileDialog {
  public:
    explicit Win32OpenFileDialog(win32::FunctionLoader& loader) : loader_(loader) {}
    void SetOwner(HWND__* owner) { owner_ = owner; }

    std::optional<std::string> Run(const std::string& title, const std::vector<FileFilter>& filters,
                                   std::uint32_t flags) override;

  private:
    using GetOpenFileNameFunction = BOOL(WINAPI*)(LPOPENFILENAMEW);

    win32::FunctionLoader& loader_;
    HWND__* owner_ = nullptr;
    GetOpenFileNameFunction getOpenFileName_ = nullptr; // once found
};

} // namespace koravel
