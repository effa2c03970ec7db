#include "platform/win32/SystemFunctions.h"

#include "platform/win32/Utf16.h"
#include "tests/platform/Caught.h"

#include <gtest/gtest.h>

#include <string>

namespace koravel::win32 {
namespace {

std::wstring SystemFolder() {
    wchar_t folder[MAX_PATH] = {};
    const UINT size = ::GetSystemDirectoryW(folder, MAX_PATH);
    return std::wstring(folder, size);
}

std::wstring ModuleFolder(HMODULE module) {
    std::wstring path(32768, L'\0');
    path.resize(::GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size())));
    return path.substr(0, path.find_last_of(L'\\'));
}

bool SameText(const std::wstring& a, const std::wstring& b) {
    return ::CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

TEST(SystemFunctions, FindsGetOpenFileNameWInComdlg32OfTheSystemFolder) {
    SystemFolderLoader loader;
    const FARPROC found = loader.Find(L"comdlg32.dll", "GetOpenFileNameW");
    const HMODULE module = ::GetModuleHandleW(L"comdlg32.dll");
    ASSERT_NE(module, nullptr) << "the loader did not keep the library loaded";
    EXPECT_EQ(found, ::GetProcAddress(module, "GetOpenFileNameW"));
    EXPECT_TRUE(SameText(ModuleFolder(module), SystemFolder()))
        << "loaded from " << Utf8FromWide(ModuleFolder(module));
    EXPECT_EQ(loader.Find(L"COMDLG32.DLL", "GetOpenFileNameW"), found);
}

// msimg32.dll: a library that no other test of this program loads.
TEST(SystemFunctions, HoldsOneReferenceAndDropsItWithTheLoader) {
    if (::GetModuleHandleW(L"msimg32.dll") != nullptr) {
        GTEST_SKIP() << "msimg32.dll is already loaded in this process, so its release "
                        "cannot be seen";
    }
    {
        SystemFolderLoader loader;
        for (int i = 0; i < 3; ++i) {
            loader.Find(L"msimg32.dll", "AlphaBlend");
        }
        loader.Find(L"MSIMG32.dll", "GradientFill");
        EXPECT_NE(::GetModuleHandleW(L"msimg32.dll"), nullptr);
    }
    EXPECT_EQ(::GetModuleHandleW(L"msimg32.dll"), nullptr)
        << "the library stayed loaded: more than one reference was taken";
}

TEST(SystemFunctions, RefusesANameThatPointsOutsideTheSystemFolder) {
    SystemFolderLoader loader;
    const std::wstring full = SystemFolder() + L"\\comdlg32.dll";
    for (const std::wstring& name : {std::wstring(L"..\\system32\\comdlg32.dll"),
                                     std::wstring(L"./comdlg32.dll"), full, std::wstring()}) {
        SCOPED_TRACE(Utf8FromWide(name));
        const Caught caught = Catch([&] { loader.Find(name.c_str(), "GetOpenFileNameW"); });
        EXPECT_EQ(caught.number, 53);
        EXPECT_EQ(caught.description, "File not found: " + Utf8FromWide(name));
    }
}

// A DLL put next to the program under a name that the system folder lacks:
// the usual search would load it, the loader must not.
TEST(SystemFunctions, IgnoresADllNextToTheProgram) {
    std::wstring planted(32768, L'\0');
    planted.resize(::GetModuleFileNameW(nullptr, planted.data(), 32768));
    planted = planted.substr(0, planted.find_last_of(L'\\')) + L"\\koravel-planted.dll";
    ASSERT_TRUE(::CopyFileW((SystemFolder() + L"\\msimg32.dll").c_str(), planted.c_str(), FALSE))
        << ::GetLastError();
    struct Remove {
        const std::wstring& path;
        ~Remove() { ::DeleteFileW(path.c_str()); }
    } remove{planted};

    const HMODULE found = ::LoadLibraryW(L"koravel-planted.dll");
    if (found == nullptr) {
        GTEST_SKIP() << "the copy of msimg32.dll cannot be loaded even by the usual search "
                        "(error "
                     << ::GetLastError() << "), so there is nothing to ignore";
    }
    ::FreeLibrary(found);

    SystemFolderLoader loader;
    const Caught caught = Catch([&] { loader.Find(L"koravel-planted.dll", "AlphaBlend"); });
    EXPECT_EQ(caught.number, 53);
    EXPECT_EQ(caught.description, "File not found: koravel-planted.dll");
}

TEST(SystemFunctions, AFailedLookUpLeavesTheLoaderUsable) {
    SystemFolderLoader loader;
    for (int attempt = 0; attempt < 2; ++attempt) {
        EXPECT_EQ(Catch([&] { loader.Find(L"koravel-no-such-library.dll", "Any"); }).number, 53);
    }
    EXPECT_EQ(Catch([&] { loader.Find(L"comdlg32.dll", "GetOpenFileNameKoravel"); }).number, 453);
    EXPECT_NE(loader.Find(L"comdlg32.dll", "GetOpenFileNameW"), nullptr);
}

} // namespace
} // namespace koravel::win32
