#pragma once

#include "platform/win32/UniqueHandle.h"

#include <string>
#include <vector>

namespace koravel::win32 {

// Finds functions of Windows' own DLLs by name at run time.
class FunctionLoader {
  public:
    virtual ~FunctionLoader() = default;
    // The address of `function` in `library`. Throws FileError 53 when the
    // library cannot be loaded, 453 when it has no such function.
    virtual FARPROC Find(const wchar_t* library, const char* function) = 0;
};

// Loads each library from the system folder only (never from the program's
// folder or the current one), once, and keeps it loaded.
class SystemFolderLoader : public FunctionLoader {
  public:
    FARPROC Find(const wchar_t* library, const char* function) override;

  private:
    struct Loaded {
        std::wstring name;
        UniqueModule module;
    };
    std::vector<Loaded> loaded_;
};

} // namespace koravel::win32
