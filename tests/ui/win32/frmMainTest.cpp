#include "ui/win32/frmMain.h"

#include "platform/FileError.h"
#include "platform/modCommonDialog.h"
#include "platform/win32/Utf16.h"
#include "settings/CodeTables.h"
#include "tests/support/Fakes.h"
#include "tests/support/NativeFileLayer.h"
#include "ui/FormHandlers.h"
#include "ui/win32/resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>
#include <oleacc.h>
#include <shlobj.h>

#include <vector>

namespace koravel::win32 {
namespace {

using testing::RecordingMessageBox;
using testing::ScriptedOpenDialog;
using testing::ShownMessage;

struct Pixels {
    int left, top, width, height;
    friend bool operator==(const Pixels&, const Pixels&) = default;
};

std::ostream& operator<<(std::ostream& out, const Pixels& p) {
    return out << "(" << p.left << ", " << p.top << ", " << p.width << " x " << p.height << ")";
}

std::wstring ClassNameOf(HWND hwnd) {
    wchar_t name[64] = {};
    ::GetClassNameW(hwnd, name, 64);
    return name;
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    ::GetWindowTextW(hwnd, text, 256);
    return text;
}

std::wstring Wide(const char* utf8) {
    const int n = ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, nullptr, 0);
    std::wstring text(static_cast<std::size_t>(n), L'\0');
    ::MultiByteToWideChar(CP_UTF8, 0, utf8, -1, text.data(), n);
    text.resize(static_cast<std::size_t>(n - 1));
    return text;
}

// The real window, as the program builds it, with the dialog and the message
// boxes replaced by recorders and the real file layer underneath.
class Win32Window : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES};
        ::InitCommonControlsEx(&controls);
        ASSERT_TRUE(frmMain::Register(::GetModuleHandleW(nullptr)));
    }
    void SetUp() override {
        ASSERT_TRUE(window.Create());
        window.Connect(handlers);
        handlers.Form_Load();
    }

    HWND At(ControlId id) const { return window.Control(id); }

    // A control's rectangle in the window's client coordinates.
    Pixels RectOf(ControlId id) const {
        RECT r{};
        ::GetWindowRect(At(id), &r);
        ::MapWindowPoints(HWND_DESKTOP, window.Handle(), reinterpret_cast<POINT*>(&r), 2);
        return {r.left, r.top, r.right - r.left, r.bottom - r.top};
    }
    SIZE ClientSize() const {
        RECT r{};
        ::GetClientRect(window.Handle(), &r);
        return {r.right, r.bottom};
    }
    std::vector<ControlId> VisiblePictures() const {
        std::vector<ControlId> shown;
        for (ControlId id : {idpicPatchRed, idpicPatchBlue, idpicPatchBlack}) {
            if ((::GetWindowLongW(At(id), GWL_STYLE) & WS_VISIBLE) != 0) {
                shown.push_back(id);
            }
        }
        return shown;
    }
    std::vector<std::string> Lists() const {
        return {window.ListText(ListBox::cboPatch1), window.ListText(ListBox::cboPatch4),
                window.ListText(ListBox::cboPatch2), window.ListText(ListBox::cboPatch3)};
    }
    void ShowWindowForInput() {
        ::ShowWindow(window.Handle(), SW_SHOW);
        ::UpdateWindow(window.Handle());
        Pump();
    }
    static void Pump() {
        MSG message;
        while (::PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            ::TranslateMessage(&message);
            ::DispatchMessageW(&message);
        }
    }
    // A key pressed on a control, as the keyboard sends it.
    void Press(ControlId id, WPARAM key) {
        ::SendMessageW(At(id), WM_KEYDOWN, key, 1);
        ::SendMessageW(At(id), WM_KEYUP, key, 0xC0000001);
    }
    void ChangeDpi(UINT dpi) {
        RECT suggested{100, 100, 100 + 400, 100 + 500};
        ::SendMessageW(window.Handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                       reinterpret_cast<LPARAM>(&suggested));
    }

    testing::NativeFileLayer files;
    RecordingMessageBox messages;
    ScriptedOpenDialog dialog;
    modCommonDialog dialogs{dialog, messages};
    SystemFolderLoader loader;
    frmMain window{::GetModuleHandleW(nullptr), loader};
    FormHandlers handlers{window, files, messages, dialogs};
};

TEST_F(Win32Window, IsAFixedWindowWithCaptionCloseBoxAndIcon) {
    const LONG style = ::GetWindowLongW(window.Handle(), GWL_STYLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_NE(style & WS_SYSMENU, 0);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    EXPECT_EQ(TextOf(window.Handle()), L"Koravel v0.3");
    const SIZE client = ClientSize();
    EXPECT_EQ(client.cx, 250);
    EXPECT_EQ(client.cy, 281);
    // The class's icons at the system's dpi; icons of their own after a change.
    EXPECT_NE(::GetClassLongPtrW(window.Handle(), GCLP_HICON), 0u);
    EXPECT_NE(::GetClassLongPtrW(window.Handle(), GCLP_HICONSM), 0u);
    ChangeDpi(144);
    EXPECT_NE(::SendMessageW(window.Handle(), WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(::SendMessageW(window.Handle(), WM_GETICON, ICON_SMALL, 0), 0);
}

TEST_F(Win32Window, HasTheTenStockControlsWithTheirStylesAndTexts) {
    for (const ControlDesign& design : kControls) {
        SCOPED_TRACE(design.name);
        HWND control = At(design.id);
        ASSERT_NE(control, nullptr);
        EXPECT_EQ(::GetDlgCtrlID(control), design.id);
        EXPECT_EQ(::GetParent(control), window.Handle());
        const LONG style = ::GetWindowLongW(control, GWL_STYLE);
        const LONG exStyle = ::GetWindowLongW(control, GWL_EXSTYLE);
        EXPECT_NE(style & WS_TABSTOP, 0);
        EXPECT_EQ(style & WS_DISABLED, 0);
        switch (design.kind) {
        case ControlKind::List:
            EXPECT_EQ(_wcsicmp(ClassNameOf(control).c_str(), L"ComboBox"), 0);
            EXPECT_EQ(style & 3, CBS_DROPDOWNLIST); // pick only: nothing can be typed
            EXPECT_EQ(style & CBS_SORT, 0);
            break;
        case ControlKind::Button:
            EXPECT_EQ(_wcsicmp(ClassNameOf(control).c_str(), L"Button"), 0);
            EXPECT_EQ(style & BS_TYPEMASK, BS_PUSHBUTTON); // never the default button
            break;
        case ControlKind::PathBox:
            EXPECT_EQ(_wcsicmp(ClassNameOf(control).c_str(), L"Edit"), 0);
            EXPECT_EQ(style & (ES_MULTILINE | ES_READONLY), 0);
            EXPECT_NE(exStyle & WS_EX_CLIENTEDGE, 0);
            break;
        case ControlKind::Picture:
            EXPECT_EQ(_wcsicmp(ClassNameOf(control).c_str(), L"Static"), 0);
            EXPECT_EQ(style & SS_TYPEMASK, SS_BITMAP);
            EXPECT_NE(exStyle & WS_EX_CLIENTEDGE, 0); // the 2-pixel sunken edge
            break;
        }
    }
    EXPECT_EQ(TextOf(At(idcmdPatch)), L"Patch");
    EXPECT_EQ(TextOf(At(idcmdFlash)), L"Select");
    EXPECT_EQ(TextOf(At(idtxtFlash)), L"");
}

TEST_F(Win32Window, ListsHoldExactlyTheirItemsInOrder) {
    struct Expected {
        ControlId id;
        std::span<const char* const> items;
    };
    for (const Expected& list :
         {Expected{idcboPatch1, RegionTexts()}, Expected{idcboPatch4, SwirlTexts()},
          Expected{idcboPatch2, BroadcastTexts()}, Expected{idcboPatch3, LanguageTexts()}}) {
        HWND box = At(list.id);
        ASSERT_EQ(::SendMessageW(box, CB_GETCOUNT, 0, 0), static_cast<LRESULT>(list.items.size()));
        for (std::size_t i = 0; i < list.items.size(); ++i) {
            wchar_t text[64] = {};
            ::SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
            EXPECT_EQ(std::wstring(text), Wide(list.items[i])) << list.items[i];
            EXPECT_EQ(::SendMessageW(box, CB_GETITEMDATA, i, 0), 0);
        }
    }
    wchar_t french[64] = {};
    ::SendMessageW(At(idcboPatch3), CB_GETLBTEXT, 3, reinterpret_cast<LPARAM>(french));
    EXPECT_EQ(std::wstring(french), L"French (Fran\u00E7ais)");
}

TEST_F(Win32Window, ControlsSitAtTheirPixelsAt96Dpi) {
    ASSERT_EQ(window.Dpi(), 96u) << "the virtual screen is expected at 96 dpi";
    const std::vector<std::pair<ControlId, Pixels>> expected{
        {idcboPatch4, {128, 168, 113, 21}}, {idcboPatch3, {8, 216, 233, 21}},
        {idcboPatch2, {8, 192, 233, 21}},   {idcmdPatch, {8, 248, 233, 25}},
        {idcboPatch1, {8, 168, 113, 21}},   {idcmdFlash, {200, 136, 41, 21}},
        {idtxtFlash, {8, 136, 185, 21}},    {idpicPatchBlack, {48, 8, 154, 120}},
        {idpicPatchRed, {48, 8, 154, 120}}, {idpicPatchBlue, {48, 8, 154, 120}},
    };
    for (const auto& [id, pixels] : expected) {
        EXPECT_EQ(RectOf(id), pixels) << kControls[static_cast<std::size_t>(id - idcboPatch4)].name;
    }
    // Each picture box, once shown, shows the 150 x 116 picture inside its edge.
    for (PictureBox picture :
         {PictureBox::picPatchRed, PictureBox::picPatchBlue, PictureBox::picPatchBlack}) {
        window.SetPictureVisible(picture, true);
    }
    for (ControlId id : {idpicPatchRed, idpicPatchBlue, idpicPatchBlack}) {
        RECT client{};
        ::GetClientRect(At(id), &client);
        EXPECT_EQ(client.right, 150);
        EXPECT_EQ(client.bottom, 116);
        BITMAP bitmap{};
        auto* image =
            reinterpret_cast<HBITMAP>(::SendMessageW(At(id), STM_GETIMAGE, IMAGE_BITMAP, 0));
        ASSERT_NE(::GetObjectW(image, sizeof(bitmap), &bitmap), 0);
        EXPECT_EQ(bitmap.bmWidth, 150);
        EXPECT_EQ(bitmap.bmHeight, 116);
    }
}

TEST_F(Win32Window, KeepsItsProportionsAt144DpiWithTheLargerPictures) {
    ChangeDpi(144);
    const SIZE client = ClientSize();
    EXPECT_EQ(client.cx, 375);
    EXPECT_EQ(client.cy, 422);
    EXPECT_EQ(RectOf(idcmdPatch), (Pixels{12, 372, 350, 38}));
    EXPECT_EQ(RectOf(idcmdFlash), (Pixels{300, 204, 62, 32}));
    EXPECT_EQ(RectOf(idtxtFlash), (Pixels{12, 204, 278, 32}));
    EXPECT_EQ(RectOf(idpicPatchRed), (Pixels{72, 12, 231, 180}));
    const Pixels region = RectOf(idcboPatch1);
    EXPECT_EQ(region.left, 12);
    EXPECT_EQ(region.top, 252);
    EXPECT_EQ(region.width, 170);
    BITMAP bitmap{};
    auto* image =
        reinterpret_cast<HBITMAP>(::SendMessageW(At(idpicPatchRed), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(::GetObjectW(image, sizeof(bitmap), &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, 225); // drawn for 1.5x, not stretched
    EXPECT_EQ(bitmap.bmHeight, 174);
    // A picture first shown after the change is drawn for the new dpi too.
    window.SetPictureVisible(PictureBox::picPatchBlack, true);
    image = reinterpret_cast<HBITMAP>(
        ::SendMessageW(At(idpicPatchBlack), STM_GETIMAGE, IMAGE_BITMAP, 0));
    ASSERT_NE(::GetObjectW(image, sizeof(bitmap), &bitmap), 0);
    EXPECT_EQ(bitmap.bmWidth, 225);

    ChangeDpi(96);
    EXPECT_EQ(ClientSize().cx, 250);
    EXPECT_EQ(RectOf(idpicPatchRed), (Pixels{48, 8, 154, 120}));
}

TEST_F(Win32Window, OpensWithTheDefaultsAndTheRedSwirlAlone) {
    EXPECT_EQ(Lists(), (std::vector<std::string>{"USA", "default swirl", "NTSC", "English"}));
    EXPECT_EQ(VisiblePictures(), std::vector<ControlId>{idpicPatchRed});
    EXPECT_EQ(window.FlashText(), "");
}

TEST_F(Win32Window, TabFollowsTheFocusOrderAndSkipsHiddenPictures) {
    ShowWindowForInput();
    const auto order = [this](ControlId from) {
        std::vector<ControlId> seen;
        HWND at = At(from);
        for (int i = 0; i < 9; ++i) {
            at = ::GetNextDlgTabItem(window.Handle(), at, FALSE);
            seen.push_back(static_cast<ControlId>(::GetDlgCtrlID(at)));
        }
        return seen;
    };
    EXPECT_EQ(order(idpicPatchRed),
              (std::vector<ControlId>{idtxtFlash, idcmdFlash, idcboPatch1, idcmdPatch, idcboPatch2,
                                      idcboPatch3, idcboPatch4, idpicPatchRed, idtxtFlash}));
    EXPECT_EQ(::GetNextDlgTabItem(window.Handle(), At(idpicPatchRed), TRUE), At(idcboPatch4));

    window.SetListText(ListBox::cboPatch1, "Europe");
    handlers.cboPatch1_Click();
    EXPECT_EQ(order(idcboPatch1), (std::vector<ControlId>{idcmdPatch, idpicPatchBlue, idcboPatch2,
                                                          idcboPatch3, idcboPatch4, idtxtFlash,
                                                          idcmdFlash, idcboPatch1, idcmdPatch}));
}

TEST_F(Win32Window, FirstShowFocusesTheRedPicture) {
    ShowWindowForInput();
    ::SetForegroundWindow(window.Handle());
    ::SendMessageW(window.Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
    EXPECT_EQ(::GetFocus(), At(idpicPatchRed));
}

TEST_F(Win32Window, PicksInTheRegionAndSwirlListsRunThePreviewRule) {
    ShowWindowForInput();
    Press(idcboPatch1, VK_DOWN); // USA -> Europe
    EXPECT_EQ(window.ListText(ListBox::cboPatch1), "Europe");
    EXPECT_EQ(VisiblePictures(), std::vector<ControlId>{idpicPatchBlue});
    Press(idcboPatch4, VK_DOWN); // default swirl -> Black swirl
    EXPECT_EQ(VisiblePictures(), std::vector<ControlId>{idpicPatchBlack});
    Press(idcboPatch1, VK_HOME); // Japan, still black
    EXPECT_EQ(VisiblePictures(), std::vector<ControlId>{idpicPatchBlack});
    Press(idcboPatch4, VK_UP); // default swirl with Japan
    EXPECT_EQ(VisiblePictures(), std::vector<ControlId>{idpicPatchRed});

    // The broadcast and language lists change nothing else.
    Press(idcboPatch2, VK_END);
    Press(idcboPatch3, VK_DOWN);
    EXPECT_EQ(Lists(),
              (std::vector<std::string>{"Japan", "default swirl", "PAL_N", "German (Deutsch)"}));
    EXPECT_EQ(VisiblePictures(), std::vector<ControlId>{idpicPatchRed});
}

TEST_F(Win32Window, SelectionsFromCodeAreExactAndRaiseNothing) {
    window.SetListText(ListBox::cboPatch4, "Black swirl");
    EXPECT_EQ(window.ListText(ListBox::cboPatch4), "Black swirl");
    EXPECT_EQ(VisiblePictures(), std::vector<ControlId>{idpicPatchRed}); // no click from code

    window.SetListText(ListBox::cboPatch1, "usa"); // another case is another text
    EXPECT_EQ(window.ListText(ListBox::cboPatch1), "");
    window.SetListText(ListBox::cboPatch3, "Spanish (Espa\xC3\xB1ol)");
    EXPECT_EQ(window.ListText(ListBox::cboPatch3), "Spanish (Espa\xC3\xB1ol)");

    window.SetFlashText("C:\\dumps\\caf\xC3\xA9 flash.bin");
    EXPECT_EQ(TextOf(At(idtxtFlash)), L"C:\\dumps\\caf\u00E9 flash.bin");
    EXPECT_EQ(window.FlashText(), "C:\\dumps\\caf\xC3\xA9 flash.bin");
}

TEST_F(Win32Window, ButtonsRunSelectAndPatchAndEnterRunsNeither) {
    ShowWindowForInput();
    ::SendMessageW(At(idcmdPatch), BM_CLICK, 0, 0);
    EXPECT_EQ(messages.shown,
              (std::vector<ShownMessage>{
                  {"Don't forget to select the flash first...", MsgIcon::Critical, "Error"}}));
    ::SendMessageW(At(idcmdFlash), BM_CLICK, 0, 0);
    EXPECT_EQ(dialog.titles, std::vector<std::string>{"Open"});

    // Enter and Escape in the path box go through the dialog keys: no command runs.
    ::SetFocus(At(idtxtFlash));
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        MSG message{At(idtxtFlash), WM_KEYDOWN, key, 1, 0, {}};
        ::IsDialogMessageW(window.Handle(), &message);
        MSG up{At(idtxtFlash), WM_KEYUP, key, static_cast<LPARAM>(0xC0000001), 0, {}};
        ::IsDialogMessageW(window.Handle(), &up);
        Pump();
    }
    EXPECT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(dialog.titles.size(), 1u);
    EXPECT_TRUE(::IsWindow(window.Handle()));
}

// A drop as the system hands it to the window: DROPFILES, then each path and
// its NUL, and one more NUL.
HDROP DropOf(const std::wstring& path) {
    const std::size_t bytes = sizeof(DROPFILES) + (path.size() + 2) * sizeof(wchar_t);
    HGLOBAL memory = ::GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, bytes);
    auto* header = static_cast<DROPFILES*>(::GlobalLock(memory));
    header->pFiles = sizeof(DROPFILES);
    header->fWide = TRUE;
    std::copy(path.begin(), path.end(), reinterpret_cast<wchar_t*>(header + 1));
    ::GlobalUnlock(memory);
    return static_cast<HDROP>(memory);
}

// A path longer than MAX_PATH, with a character beyond the BMP, reaches Select
// whole; a dropped path that names nothing is refused, as the Open dialog
// refuses a name that does not exist.
TEST_F(Win32Window, ADroppedPathOfAnyLengthIsTakenWholeAndOneThatNamesNothingIsNot) {
    wchar_t temp[MAX_PATH] = {};
    ASSERT_GT(::GetTempPathW(MAX_PATH, temp), 0u);
    std::vector<std::wstring> folders{std::wstring(temp) + L"koravel-long-drop"};
    while (folders.back().size() <= MAX_PATH) {
        folders.push_back(folders.back() + L"\\disk \xD83D\xDCBE"); // U+1F4BE
    }
    for (const std::wstring& folder : folders) {
        ::CreateDirectoryW((L"\\\\?\\" + folder).c_str(), nullptr);
    }
    const std::wstring wide = folders.back() + L"\\flash.bin";
    HANDLE file = ::CreateFileW((L"\\\\?\\" + wide).c_str(), GENERIC_WRITE, 0, nullptr,
                                CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    ::CloseHandle(file);

    ::SendMessageW(window.Handle(), WM_DROPFILES,
                   reinterpret_cast<WPARAM>(DropOf(folders.back() + L"\\gone.bin")), 0);
    EXPECT_EQ(window.FlashText(), "");
    EXPECT_TRUE(messages.shown.empty());
    ::SendMessageW(window.Handle(), WM_DROPFILES, reinterpret_cast<WPARAM>(DropOf(wide)), 0);
    EXPECT_EQ(window.FlashText(), Utf8FromWide(wide));

    ::DeleteFileW((L"\\\\?\\" + wide).c_str());
    for (auto folder = folders.rbegin(); folder != folders.rend(); ++folder) {
        ::RemoveDirectoryW((L"\\\\?\\" + *folder).c_str());
    }
}

TEST_F(Win32Window, ShowsTheRedPicturePixelForPixel) {
    ShowWindowForInput();
    ::SetWindowPos(window.Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    ::RedrawWindow(window.Handle(), nullptr, nullptr,
                   RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();

    HBITMAP source = static_cast<HBITMAP>(::LoadImageW(::GetModuleHandleW(nullptr),
                                                       MAKEINTRESOURCEW(IDB_SWIRL_RED),
                                                       IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    ASSERT_NE(source, nullptr);
    HDC memory = ::CreateCompatibleDC(nullptr);
    HGDIOBJ old = ::SelectObject(memory, source);
    HDC screen = ::GetDC(At(idpicPatchRed));
    int differing = 0;
    for (int y = 0; y < 116; ++y) {
        for (int x = 0; x < 150; ++x) {
            differing += ::GetPixel(screen, x, y) != ::GetPixel(memory, x, y) ? 1 : 0;
        }
    }
    ::ReleaseDC(At(idpicPatchRed), screen);
    ::SelectObject(memory, old);
    ::DeleteDC(memory);
    ::DeleteObject(source);
    EXPECT_EQ(differing, 0);
}

// What a screen reader hears of a control through Microsoft Active
// Accessibility: its client object, asked about itself.
struct Heard {
    std::wstring name;
    LONG role;
    std::wstring description;
    std::wstring value;
    friend bool operator==(const Heard&, const Heard&) = default;
};

std::ostream& operator<<(std::ostream& out, const Heard& h) {
    return out << "{\"" << Utf8FromWide(h.name) << "\", role " << h.role << ", \""
               << Utf8FromWide(h.description) << "\", value \"" << Utf8FromWide(h.value) << "\"}";
}

Heard HeardFrom(HWND control) {
    IAccessible* object = nullptr;
    const HRESULT got = ::AccessibleObjectFromWindow(control, OBJID_CLIENT, __uuidof(IAccessible),
                                                     reinterpret_cast<void**>(&object));
    EXPECT_EQ(got, S_OK);
    if (FAILED(got)) {
        return {};
    }
    VARIANT self{};
    self.vt = VT_I4;
    self.lVal = CHILDID_SELF;
    using Getter = HRESULT (STDMETHODCALLTYPE IAccessible::*)(VARIANT, BSTR*);
    const auto read = [&](Getter get) {
        BSTR text = nullptr;
        std::wstring read = (object->*get)(self, &text) == S_OK && text != nullptr ? text : L"";
        ::SysFreeString(text);
        return read;
    };
    Heard heard{};
    heard.name = read(&IAccessible::get_accName);
    heard.description = read(&IAccessible::get_accDescription);
    heard.value = read(&IAccessible::get_accValue);
    VARIANT role{};
    if (object->get_accRole(self, &role) == S_OK && role.vt == VT_I4) {
        heard.role = role.lVal;
    }
    HWND window = nullptr;
    EXPECT_EQ(::WindowFromAccessibleObject(object, &window), S_OK);
    EXPECT_EQ(window, control);
    object->Release();
    return heard;
}

TEST_F(Win32Window, ScreenReadersHearEachControlsNameRoleAndDescription) {
    ASSERT_TRUE(SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)));
    window.SetFlashText("C:\\dumps\\flash.bin");
    const std::vector<std::pair<ControlId, Heard>> expected{
        {idcboPatch1, {L"Region", ROLE_SYSTEM_COMBOBOX, L"The console's region", L"USA"}},
        {idcboPatch4,
         {L"Swirl colour", ROLE_SYSTEM_COMBOBOX,
          L"The colour of the swirl the console shows at start-up", L"default swirl"}},
        {idcboPatch2,
         {L"Broadcast standard", ROLE_SYSTEM_COMBOBOX, L"The television standard the console sends",
          L"NTSC"}},
        {idcboPatch3, {L"Language", ROLE_SYSTEM_COMBOBOX, L"The console's language", L"English"}},
        {idtxtFlash,
         {L"Flash image path", ROLE_SYSTEM_TEXT,
          L"The flash image file that Patch writes the settings into", L"C:\\dumps\\flash.bin"}},
        {idcmdFlash,
         {L"Select", ROLE_SYSTEM_PUSHBUTTON, L"Choose a flash image and show its settings", L""}},
        {idcmdPatch,
         {L"Patch", ROLE_SYSTEM_PUSHBUTTON,
          L"Write the chosen settings into both copies in the flash image", L""}},
        {idpicPatchRed,
         {L"Swirl preview", ROLE_SYSTEM_GRAPHIC,
          L"Red swirl: the console starts with the red swirl", L""}},
        {idpicPatchBlue,
         {L"Swirl preview", ROLE_SYSTEM_GRAPHIC,
          L"Blue swirl: the console starts with the blue swirl", L""}},
        {idpicPatchBlack,
         {L"Swirl preview", ROLE_SYSTEM_GRAPHIC,
          L"Black swirl: the console starts with the black swirl", L""}},
    };
    for (const auto& [id, heard] : expected) {
        EXPECT_EQ(HeardFrom(At(id)), heard)
            << kControls[static_cast<std::size_t>(id - idcboPatch4)].name;
    }
    // A list's value follows its selection.
    window.SetListText(ListBox::cboPatch1, "Europe");
    EXPECT_EQ(HeardFrom(At(idcboPatch1)).value, L"Europe");
    ::CoUninitialize();
}

// Without oleacc, each control answers as it does by itself.
class NoFunctionsLoader : public FunctionLoader {
  public:
    FARPROC Find(const wchar_t*, const char*) override {
        throw FileError(err::FileNotFound, "File not found: oleacc.dll");
    }
};

TEST_F(Win32Window, WithoutOleaccEachControlAnswersByItself) {
    NoFunctionsLoader missing;
    frmMain bare{::GetModuleHandleW(nullptr), missing};
    ASSERT_TRUE(bare.Create());
    EXPECT_EQ(::SendMessageW(bare.Control(idcmdPatch), WM_GETOBJECT, 0, OBJID_CLIENT), 0);
    EXPECT_EQ(HeardFrom(bare.Control(idcmdPatch)).name, L"Patch");
}

TEST_F(Win32Window, ClosingEndsTheMessageLoop) {
    ShowWindowForInput();
    HWND hwnd = window.Handle();
    ::SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_FALSE(::IsWindow(hwnd));
    MSG message{};
    EXPECT_TRUE(::PeekMessageW(&message, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
    EXPECT_EQ(window.Handle(), nullptr);
}

} // namespace
} // namespace koravel::win32
