#include "platform/win32/Win32OpenFileDialog.h"

#include "platform/FileError.h"
#include "platform/modCommonDialog.h"
#include "platform/win32/Win32MessageBox.h"
#include "tests/platform/win32/MessageBoxHook.h"
#include "tests/support/Fakes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <deque>

namespace koravel {
namespace {

using testing::MessageBoxHook;
using testing::RecordingMessageBox;
using testing::ShownMessage;

// The window's own filter text, "|" standing for NUL.
const std::string kFilter = [] {
    std::string text = "Dreamcast flash (*.bin)|*.bin|All files (*.*)|*.*";
    std::replace(text.begin(), text.end(), '|', '\0');
    return text;
}();
constexpr std::uint32_t kFlags = 0x1000;
const std::wstring kBlankName = std::wstring(254, L' ') + L'\0';

// What the stand-in dialog function was handed, copied while it ran.
struct Received {
    OPENFILENAMEW record{};
    std::wstring filter; // with the NUL that closes the list
    std::wstring title;
    std::wstring file;      // the whole buffer, nMaxFile characters
    std::wstring fileTitle; // the whole buffer, nMaxFileTitle characters
};

// The stand-in's script: per call, the path the user picks, or nothing for a cancel.
struct Script {
    std::deque<std::optional<std::wstring>> answers;
    std::vector<Received> received;
};
Script* script = nullptr;

std::wstring Copy(const wchar_t* text, DWORD size) {
    return text == nullptr ? std::wstring() : std::wstring(text, size);
}

BOOL WINAPI StandInGetOpenFileName(LPOPENFILENAMEW ofn) {
    Received in;
    std::memcpy(&in.record, ofn, std::min<std::size_t>(ofn->lStructSize, sizeof in.record));
    if (const wchar_t* f = ofn->lpstrFilter; f != nullptr) {
        std::size_t n = 0;
        while (f[n] != L'\0' || f[n + 1] != L'\0') {
            ++n;
        }
        in.filter.assign(f, n + 2);
    }
    in.title = ofn->lpstrTitle == nullptr ? L"(null)" : ofn->lpstrTitle;
    in.file = Copy(ofn->lpstrFile, ofn->nMaxFile);
    in.fileTitle = Copy(ofn->lpstrFileTitle, ofn->nMaxFileTitle);
    script->received.push_back(in);

    const std::optional<std::wstring> answer = script->answers.front();
    script->answers.pop_front();
    if (!answer || answer->size() >= ofn->nMaxFile) {
        return FALSE;
    }
    // As the real dialog does: the path and its NUL, the rest of the buffer left as it was.
    std::wmemcpy(ofn->lpstrFile, answer->c_str(), answer->size() + 1);
    return TRUE;
}

// Gives the stand-in, after failing the first look-ups as told.
class StandInLoader : public win32::FunctionLoader {
  public:
    FARPROC Find(const wchar_t* library, const char* function) override {
        asked.emplace_back(library, function);
        if (!failures.empty()) {
            const FileError error = failures.front();
            failures.pop_front();
            throw error;
        }
        return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)()>(&StandInGetOpenFileName));
    }
    std::vector<std::pair<std::wstring, std::string>> asked;
    std::deque<FileError> failures;
};

class Win32OpenFileDialogTest : public ::testing::Test {
  protected:
    void SetUp() override {
        script = &lines;
        dialog.SetOwner(kOwner);
    }
    void TearDown() override { script = nullptr; }

    std::string ShowOpen(std::optional<std::wstring> answer) {
        lines.answers.push_back(std::move(answer));
        return dialogs.ShowOpen(kFilter, kFlags);
    }

    // Passed through untouched: the stand-in never uses it as a window.
    const HWND kOwner = reinterpret_cast<HWND>(static_cast<INT_PTR>(0x5A10));
    Script lines;
    StandInLoader loader;
    Win32OpenFileDialog dialog{loader};
    RecordingMessageBox messages;
    modCommonDialog dialogs{dialog, messages};
};

TEST_F(Win32OpenFileDialogTest, FillsTheRecordAsTheDialogExpects) {
    ShowOpen(std::nullopt);
    ASSERT_EQ(lines.received.size(), 1u);
    const OPENFILENAMEW& r = lines.received[0].record;
    EXPECT_EQ(r.lStructSize, 136u);
    EXPECT_EQ(r.hwndOwner, kOwner);
    EXPECT_EQ(r.hInstance, ::GetModuleHandleW(nullptr));
    EXPECT_EQ(lines.received[0].filter,
              std::wstring(L"Dreamcast flash (*.bin)\0*.bin\0All files (*.*)\0*.*\0\0", 51));
    EXPECT_EQ(r.lpstrCustomFilter, nullptr);
    EXPECT_EQ(r.nMaxCustFilter, 0u);
    EXPECT_EQ(r.nFilterIndex, 0u);
    EXPECT_EQ(lines.received[0].title, L"Open");
    EXPECT_EQ(r.Flags, 0x1000u);
    EXPECT_EQ(r.lpstrInitialDir, nullptr);
    EXPECT_EQ(r.nFileOffset, 0u);
    EXPECT_EQ(r.nFileExtension, 0u);
    EXPECT_EQ(r.lpstrDefExt, nullptr);
    EXPECT_EQ(r.lCustData, 0);
    EXPECT_EQ(r.lpfnHook, nullptr);
    EXPECT_EQ(r.lpTemplateName, nullptr);
}

TEST_F(Win32OpenFileDialogTest, StartsWithAnEmptyNameBoxAndABlankTitleBuffer) {
    ShowOpen(std::nullopt);
    ASSERT_EQ(lines.received.size(), 1u);
    const Received& in = lines.received[0];
    EXPECT_EQ(in.record.nMaxFile, 32768u);
    ASSERT_NE(in.record.lpstrFile, nullptr);
    EXPECT_EQ(in.file.substr(0, 255), std::wstring(255, L'\0'));
    EXPECT_EQ(in.record.nMaxFileTitle, 256u);
    ASSERT_NE(in.record.lpstrFileTitle, nullptr);
    EXPECT_EQ(in.fileTitle.substr(0, 255), kBlankName);
}

TEST_F(Win32OpenFileDialogTest, GivesTheChosenPathWholeAsUtf8) {
    EXPECT_EQ(ShowOpen(L"Z:\\home\\\u00E9mile\\\u30C9\u30EA\u30FC\u30E0\\flash \U0001F300.bin"),
              "Z:\\home\\\xC3\xA9mile\\\xE3\x83\x89\xE3\x83\xAA\xE3\x83\xBC\xE3\x83\xA0\\flash "
              "\xF0\x9F\x8C\x80.bin");
    // Blanks at either end are part of the name; the leftover blanks after the NUL are not.
    EXPECT_EQ(ShowOpen(L" C:\\dumps\\  flash dump .bin  "), " C:\\dumps\\  flash dump .bin  ");
    EXPECT_EQ(ShowOpen(L"C:\\a.bin"), "C:\\a.bin");

    std::wstring deep = L"\\\\?\\C:";
    while (deep.size() < 590) {
        deep += L"\\dumps";
    }
    deep = deep.substr(0, 590) + L"\\flash.bin";
    ASSERT_EQ(deep.size(), 600u);
    EXPECT_EQ(ShowOpen(deep), std::string(deep.begin(), deep.end()));
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Win32OpenFileDialogTest, CancelGivesTheEmptyTextAndNoMessage) {
    EXPECT_EQ(ShowOpen(std::nullopt), "");
    EXPECT_EQ(lines.received.size(), 1u);
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(Win32OpenFileDialogTest, LeavesTheCallersFilterAndFlagsAlone) {
    const std::string filter = kFilter;
    const std::uint32_t flags = kFlags;
    lines.answers.push_back(L"C:\\a.bin");
    dialogs.ShowOpen(filter, flags);
    EXPECT_EQ(filter, kFilter);
    EXPECT_EQ(flags, 0x1000u);
}

TEST_F(Win32OpenFileDialogTest, FindsTheFunctionOnceAndBuildsEachRecordAfresh) {
    ShowOpen(L"C:\\first.bin");
    ShowOpen(std::nullopt);
    ShowOpen(L"C:\\third.bin");
    const std::vector<std::pair<std::wstring, std::string>> once{
        {L"comdlg32.dll", "GetOpenFileNameW"}};
    EXPECT_EQ(loader.asked, once);
    ASSERT_EQ(lines.received.size(), 3u);
    for (const Received& in : lines.received) {
        EXPECT_EQ(in.file.substr(0, 255), std::wstring(255, L'\0'))
            << "a chosen path was carried over";
        EXPECT_EQ(in.record.Flags, 0x1000u);
    }
}

TEST_F(Win32OpenFileDialogTest, AFailedLookUpIsShownOnceAndTriedAgainNextTime) {
    loader.failures.push_back(FileError(453, "Can't find DLL entry point GetOpenFileNameW in "
                                             "comdlg32.dll"));
    EXPECT_EQ(ShowOpen(L"C:\\unused.bin"), "");
    EXPECT_TRUE(lines.received.empty()) << "a dialog ran without its function";
    const std::vector<ShownMessage> shown{
        {"ShowOpen - modCommonDialog\r\n\r\n453 - Can't find DLL entry point GetOpenFileNameW "
         "in comdlg32.dll",
         MsgIcon::Critical, "Error"}};
    EXPECT_EQ(messages.shown, shown);

    lines.answers.clear();
    EXPECT_EQ(ShowOpen(L"C:\\a.bin"), "C:\\a.bin");
    EXPECT_EQ(loader.asked.size(), 2u);
    EXPECT_EQ(messages.shown, shown);
}

// The real loader, asked for a library or function under another name.
class RenamingLoader : public win32::FunctionLoader {
  public:
    RenamingLoader(const wchar_t* library, const char* function)
        : library_(library), function_(function) {}
    FARPROC Find(const wchar_t* library, const char* function) override {
        return real_.Find(library_ != nullptr ? library_ : library,
                          function_ != nullptr ? function_ : function);
    }

  private:
    win32::SystemFolderLoader real_;
    const wchar_t* library_;
    const char* function_;
};

std::vector<ShownMessage> ShowOpenWith(win32::FunctionLoader& loader, std::string& result) {
    Win32OpenFileDialog dialog(loader);
    RecordingMessageBox messages;
    result = modCommonDialog(dialog, messages).ShowOpen(kFilter, kFlags);
    return messages.shown;
}

TEST(Win32OpenFileDialogLookUp, MissingLibraryIsError53ShownOnce) {
    RenamingLoader loader(L"koravel-no-such-library.dll", nullptr);
    std::string result = "unset";
    const std::vector<ShownMessage> expected{
        {"ShowOpen - modCommonDialog\r\n\r\n53 - File not found: koravel-no-such-library.dll",
         MsgIcon::Critical, "Error"}};
    EXPECT_EQ(ShowOpenWith(loader, result), expected);
    EXPECT_EQ(result, "");
}

TEST(Win32OpenFileDialogLookUp, MissingFunctionIsError453ShownOnce) {
    RenamingLoader loader(nullptr, "GetOpenFileNameKoravel");
    std::string result = "unset";
    const std::vector<ShownMessage> expected{
        {"ShowOpen - modCommonDialog\r\n\r\n453 - Can't find DLL entry point "
         "GetOpenFileNameKoravel in comdlg32.dll",
         MsgIcon::Critical, "Error"}};
    EXPECT_EQ(ShowOpenWith(loader, result), expected);
    EXPECT_EQ(result, "");
}

TEST(Win32OpenFileDialogLookUp, TheErrorReachesARealMessageBox) {
    if (const std::string why = testing::WhyNoWindows(); !why.empty()) {
        GTEST_SKIP() << why;
    }
    RenamingLoader loader(L"koravel-no-such-library.dll", nullptr);
    Win32OpenFileDialog dialog(loader);
    Win32MessageBox messages;
    MessageBoxHook hook;
    ASSERT_TRUE(hook.Installed());
    EXPECT_EQ(modCommonDialog(dialog, messages).ShowOpen(kFilter, kFlags), "");
    EXPECT_EQ(hook.rescued, 0);
    ASSERT_EQ(hook.seen.size(), 1u);
    EXPECT_EQ(hook.seen[0].caption, L"Error");
    EXPECT_EQ(
        hook.seen[0].text,
        L"ShowOpen - modCommonDialog\r\n\r\n53 - File not found: koravel-no-such-library.dll");
    EXPECT_EQ(hook.seen[0].iconStyle, MB_ICONHAND);
    EXPECT_EQ(hook.seen[0].buttons, std::vector<int>{IDOK});
}

} // namespace
} // namespace koravel
