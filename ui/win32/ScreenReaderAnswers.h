#pragma once

#include "platform/win32/SystemFunctions.h"
#include "ui/win32/ControlLayout.h"

#include <oleacc.h>

#include <array>

namespace koravel::win32 {

// Answers a screen reader's request for a control's accessible object
// (WM_GETOBJECT for OBJID_CLIENT) with the standard object under the
// control's own name: the way Microsoft Active Accessibility, and UI
// Automation through it, read names on Windows and under Wine alike.
// oleacc and COM are loaded from the system folder on the first request, so a
// window no screen reader asks about never loads them; without them, the
// control answers as it would by itself.
// Each control's window procedure is replaced directly rather than through
// SetWindowSubclass: comctl32 finds a subclassed window's chain through a
// window property on every message, which Wine asks its server for (some 900
// requests in a start-up that otherwise makes 10,700). Here a message costs
// two reads of the control's own window data, which stay in the process.
// Microsoft documents Dynamic Annotation (IAccPropServices::SetHwndPropStr)
// for naming a standard control. It is not used: under Wine every
// IAccPropServices method returns E_NOTIMPL, so a window named that way would
// be nameless there and its names could not be tested here, whereas the
// wrapped standard object answers the same on Windows and under Wine.
class ScreenReaderAnswers {
  public:
    explicit ScreenReaderAnswers(FunctionLoader& loader) : loader_(loader) {}
    ~ScreenReaderAnswers();
    ScreenReaderAnswers(const ScreenReaderAnswers&) = delete;
    ScreenReaderAnswers& operator=(const ScreenReaderAnswers&) = delete;

    // Makes `control` answer for itself as `id`, until it is destroyed; this
    // object must outlive it.
    void Attach(HWND control, ControlId id);

  private:
    static LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wParam, LPARAM lParam);
    static std::size_t IndexOf(ControlId id);
    LRESULT Answer(HWND control, ControlId id, WPARAM flags);
    bool Load();

    FunctionLoader& loader_;
    std::array<WNDPROC, kControls.size()> classProcs_{}; // by id, from the first
    enum class State { NotLoaded, Ready, Missing } state_ = State::NotLoaded;
    bool comStarted_ = false;
    HRESULT(WINAPI* createStandard_)(HWND, LONG, REFIID, void**) = nullptr;
    LRESULT(WINAPI* lresultFromObject_)(REFIID, WPARAM, IUnknown*) = nullptr;
    BSTR(WINAPI* allocString_)(const OLECHAR*) = nullptr;
    HRESULT(WINAPI* startCom_)(void*, DWORD) = nullptr;
    void(WINAPI* stopCom_)() = nullptr;
};

} // namespace koravel::win32
