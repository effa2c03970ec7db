#pragma once

#include "platform/win32/SystemFunctions.h"
#include "platform/win32/UniqueHandle.h"
#include "ui/FormView.h"
#include "ui/win32/ControlLayout.h"
#include "ui/win32/DroppedFiles.h"
#include "ui/win32/ScreenReaderAnswers.h"

#include <array>

namespace koravel {

class FormHandlers;

namespace win32 {

// The main window as Win32 draws it: the ten stock controls, their geometry
// in twips scaled to the window's dpi, the system's message font, the focus
// order, the names screen readers read, and files dropped on it. What the
// window does lives in FormHandlers.
class frmMain : public FormView {
  public:
    static constexpr const wchar_t* ClassName = L"KoravelMain";
    static constexpr DWORD Style = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
    // Takes dropped files by its style rather than DragAcceptFiles, which is
    // shell32's: the program then loads shell32 only when a file is dropped.
    static constexpr DWORD ExStyle = WS_EX_ACCEPTFILES;

    // `loader` finds the accessibility functions when a screen reader first
    // asks, and those reading a drop when a file is first dropped.
    frmMain(HINSTANCE instance, FunctionLoader& loader)
        : instance_(instance), answers_(loader), drops_(loader) {}
    ~frmMain() override;
    frmMain(const frmMain&) = delete;
    frmMain& operator=(const frmMain&) = delete;

    // Registers the window class, once per process.
    static bool Register(HINSTANCE instance);
    // Creates the window and its controls, hidden and with nothing selected.
    bool Create();
    // Routes the controls' events to the handlers.
    void Connect(FormHandlers& handlers) { handlers_ = &handlers; }
    // Shows the window, centred on its monitor's work area since its creation.
    void Show(int showCommand);

    HWND Handle() const { return hwnd_; }
    HWND Control(ControlId id) const;
    UINT Dpi() const { return dpi_; }

    std::string FlashText() const override;
    void SetFlashText(const std::string& text) override;
    std::string ListText(ListBox list) const override;
    void SetListText(ListBox list, const std::string& text) override;
    void SetPictureVisible(PictureBox picture, bool visible) override;

  private:
    static LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

    bool OnCreate();
    void OnCommand(int id, int code);
    void OnDpiChanged(UINT dpi, const RECT& suggested);
    void OnActivate(bool active);
    void OnDropFiles(HDROP drop);

    bool CreateControls();
    RECT PlaceOf(const ControlDesign& design) const;
    void ApplyDpi(UINT dpi);
    void LoadPicture(std::size_t index);
    void ReloadPictures();
    void PlaceControls();
    void FitWindowToClient();
    void FocusFirstControl();
    SIZE WindowSizeForClient() const;

    HWND hwnd_ = nullptr;
    HINSTANCE instance_;
    ScreenReaderAnswers answers_; // outlives the controls, destroyed with the window
    DroppedFiles drops_;
    FormHandlers* handlers_ = nullptr;
    UINT dpi_ = USER_DEFAULT_SCREEN_DPI;
    HWND lastFocus_ = nullptr;
    std::array<HWND, kControls.size()> controls_{}; // in the order of kControls
    UniqueFont font_;
    std::array<UniqueBitmap, 3> pictures_; // red, blue, black, once shown, for the dpi
    UniqueIcon bigIcon_;
    UniqueIcon smallIcon_;
};

} // namespace win32
} // namespace koravel
