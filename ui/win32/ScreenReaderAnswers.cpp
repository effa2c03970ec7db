#include "ui/win32/ScreenReaderAnswers.h"

#include "platform/FileError.h"
#include "ui/win32/AccessibleText.h"
#include "ui/win32/NamedAccessible.h"

#include <commctrl.h>

#include <new>

namespace koravel::win32 {
namespace {

template <typename Function>
void Find(FunctionLoader& loader, Function& to, const wchar_t* library, const char* name) {
    to = reinterpret_cast<Function>(reinterpret_cast<void (*)()>(loader.Find(library, name)));
}

} // namespace

ScreenReaderAnswers::~ScreenReaderAnswers() {
    if (comStarted_) {
        stopCom_();
    }
}

std::size_t ScreenReaderAnswers::IndexOf(ControlId id) {
    return static_cast<std::size_t>(id - kControls.front().id);
}

// The control's user data, which belongs to the program that made the
// window, leads back here, and its id to the procedure of its class.
void ScreenReaderAnswers::Attach(HWND control, ControlId id) {
    ::SetWindowLongPtrW(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    classProcs_[IndexOf(id)] = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(
        control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ScreenReaderAnswers::ControlProc)));
}

LRESULT CALLBACK ScreenReaderAnswers::ControlProc(HWND control, UINT message, WPARAM wParam,
                                                  LPARAM lParam) {
    auto* self =
        reinterpret_cast<ScreenReaderAnswers*>(::GetWindowLongPtrW(control, GWLP_USERDATA));
    const auto id = static_cast<ControlId>(::GetDlgCtrlID(control));
    // The object id is a 32-bit value, whatever the width of lParam.
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        const LRESULT answer = self->Answer(control, id, wParam);
        if (answer != 0) {
            return answer;
        }
    }
    return ::CallWindowProcW(self->classProcs_[IndexOf(id)], control, message, wParam, lParam);
}

// Zero lets the control answer by itself, as it would without this object.
LRESULT ScreenReaderAnswers::Answer(HWND control, ControlId id, WPARAM flags) {
    if (!Load()) {
        return 0;
    }
    IAccessible* standard = nullptr;
    if (FAILED(createStandard_(control, OBJID_CLIENT, __uuidof(IAccessible),
                               reinterpret_cast<void**>(&standard)))) {
        return 0;
    }
    auto* named =
        new (std::nothrow) NamedAccessible(standard, control, AccessibleTextOf(id), allocString_);
    if (named == nullptr) {
        standard->Release();
        return 0;
    }
    const LRESULT answer =
        lresultFromObject_(__uuidof(IAccessible), flags, static_cast<IAccessible*>(named));
    named->Release(); // the answer holds its own reference
    return answer > 0 ? answer : 0;
}

// The object is handed over through COM, which this thread must have started.
bool ScreenReaderAnswers::Load() {
    if (state_ == State::NotLoaded) {
        try {
            Find(loader_, createStandard_, L"oleacc.dll", "CreateStdAccessibleObject");
            Find(loader_, lresultFromObject_, L"oleacc.dll", "LresultFromObject");
            Find(loader_, allocString_, L"oleaut32.dll", "SysAllocString");
            Find(loader_, startCom_, L"ole32.dll", "CoInitializeEx");
            Find(loader_, stopCom_, L"ole32.dll", "CoUninitialize");
            state_ = State::Ready;
        } catch (const FileError&) {
            state_ = State::Missing;
        }
        if (state_ == State::Ready) {
            const HRESULT started = startCom_(nullptr, COINIT_APARTMENTTHREADED);
            comStarted_ = SUCCEEDED(started); // S_FALSE too: it must be stopped as often
            if (FAILED(started) && started != RPC_E_CHANGED_MODE) {
                state_ = State::Missing;
            }
        }
    }
    return state_ == State::Ready;
}

} // namespace koravel::win32
