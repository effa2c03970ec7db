#pragma once

#include "platform/win32/SystemFunctions.h"

#include <shellapi.h>

#include <optional>
#include <string>

namespace koravel::win32 {

// What a drop on the window (WM_DROPFILES) hands over. shell32, which reads
// it, is loaded from the system folder on the first drop, so that a window
// nothing is dropped on never loads it.
class DroppedFiles {
  public:
    explicit DroppedFiles(FunctionLoader& loader) : loader_(loader) {}

    // The one file dropped, or nothing for several files, a folder or a name
    // that is not there. Finishes
    // the drop either way, which frees what it holds.
    std::optional<std::wstring> TakeOnlyFile(HDROP drop);

  private:
    bool Load();

    FunctionLoader& loader_;
    UINT(WINAPI* queryFile_)(HDROP, UINT, LPWSTR, UINT) = nullptr;
    void(WINAPI* finish_)(HDROP) = nullptr;
};

} // namespace koravel::win32
