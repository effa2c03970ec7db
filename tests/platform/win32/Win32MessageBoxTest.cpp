#include "platform/win32/Win32MessageBox.h"

#include "tests/platform/win32/MessageBoxHook.h"

#include <gtest/gtest.h>

namespace koravel {
namespace {

using testing::MessageBoxHook;
using testing::SeenMessageBox;

// A plain top-level window to own the box.
struct OwnerWindow {
    OwnerWindow()
        : handle(::CreateWindowExW(0, L"STATIC", L"Koravel", WS_OVERLAPPEDWINDOW, 0, 0, 300, 200,
                                   nullptr, nullptr, ::GetModuleHandleW(nullptr), nullptr)) {}
    ~OwnerWindow() {
        if (handle != nullptr) {
            ::DestroyWindow(handle);
        }
    }
    HWND handle;
};

class Win32MessageBoxTest : public ::testing::Test {
  protected:
    void SetUp() override {
        if (const std::string why = testing::WhyNoWindows(); !why.empty()) {
            GTEST_SKIP() << why;
        }
    }

    // Shows one box for real and gives what the hook read from it.
    SeenMessageBox ShowOnce(const std::string& prompt, MsgIcon icon, const std::string& title) {
        MessageBoxHook hook;
        EXPECT_TRUE(hook.Installed());
        messages.Show(prompt, icon, title);
        EXPECT_EQ(hook.rescued, 0)
            << "the hook never read the box; it was closed by the rescue timer";
        EXPECT_EQ(hook.seen.size(), 1u);
        return hook.seen.empty() ? SeenMessageBox() : hook.seen.front();
    }

    Win32MessageBox messages;
};

TEST_F(Win32MessageBoxTest, ShowsEachIconStyleWithItsTitleAndPrompt) {
    const std::pair<MsgIcon, UINT> styles[] = {{MsgIcon::Critical, MB_ICONHAND},
                                               {MsgIcon::Warning, MB_ICONEXCLAMATION},
                                               {MsgIcon::Information, MB_ICONASTERISK}};
    for (const auto& [icon, style] : styles) {
        SCOPED_TRACE(static_cast<int>(icon));
        const SeenMessageBox box = ShowOnce("Region settings written.", icon, "Koravel");
        EXPECT_EQ(box.iconStyle, style);
        EXPECT_EQ(box.caption, L"Koravel");
        EXPECT_EQ(box.text, L"Region settings written.");
    }
}

TEST_F(Win32MessageBoxTest, TextsArriveIntactFromUtf8) {
    SeenMessageBox box = ShowOnce("R\xC3\xA9glages enregistr\xC3\xA9s\r\nA\xC3\xB1o: \xC3\xB1",
                                  MsgIcon::Information, "R\xC3\xA9gion");
    EXPECT_EQ(box.text, L"R\u00E9glages enregistr\u00E9s\r\nA\u00F1o: \u00F1");
    EXPECT_EQ(box.caption, L"R\u00E9gion");

    // A broken byte (a file name read from a bad dump) is shown, not the whole text lost.
    box = ShowOnce("flash\xFF.bin", MsgIcon::Warning, "Error");
    EXPECT_EQ(box.text, L"flash\uFFFD.bin");
}

TEST_F(Win32MessageBoxTest, HasOnlyAnOkButtonWhateverTheIconValue) {
    EXPECT_EQ(ShowOnce("Done.", MsgIcon::Warning, "Koravel").buttons, std::vector<int>{IDOK});

    // Values that also carry button bits keep their icon and gain no buttons.
    SeenMessageBox box =
        ShowOnce("Done.", static_cast<MsgIcon>(MB_ICONHAND | MB_OKCANCEL), "Koravel");
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.iconStyle, MB_ICONHAND);
    box = ShowOnce("Done.", static_cast<MsgIcon>(MB_ICONASTERISK | MB_YESNOCANCEL), "Koravel");
    EXPECT_EQ(box.buttons, std::vector<int>{IDOK});
    EXPECT_EQ(box.iconStyle, MB_ICONASTERISK);
}

TEST_F(Win32MessageBoxTest, IsModalToItsOwnerOrStandsAloneWithout) {
    const OwnerWindow owner;
    ASSERT_NE(owner.handle, nullptr) << ::GetLastError();
    messages.SetOwner(owner.handle);
    SeenMessageBox box = ShowOnce("Done.", MsgIcon::Information, "Koravel");
    EXPECT_EQ(box.owner, owner.handle);
    EXPECT_FALSE(box.ownerEnabled) << "the owner took input while the box was up";
    EXPECT_TRUE(::IsWindowEnabled(owner.handle)) << "the owner stayed disabled";

    messages.SetOwner(nullptr);
    box = ShowOnce("Done.", MsgIcon::Information, "Koravel");
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.text, L"Done.");
}

} // namespace
} // namespace koravel
