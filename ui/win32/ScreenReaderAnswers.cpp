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

void ScreenReaderAnswers::Attach(HWND control, ControlId id) {
    ::SetWindowSubclass(control, &ScreenReaderAnswers::ControlProc, static_cast<UINT_PTR>(id),
                        reinterpret_cast<DWORD_PTR>(this));
}

LRESULT CALLBACK ScreenReaderAnswers::ControlProc(HWND control, UINT message, WPARAM wParam,
                                                  LPARAM lParam, UINT_PTR id, DWORD_PTR self) {
    // The object id is a 32-bit value, whatever the width of lParam.
    if (message == WM_GETOBJECT && static_cast<DWORD>(lParam) == static_cast<DWORD>(OBJID_CLIENT)) {
        const LRESULT answer = reinterpret_cast<ScreenReaderAnswers*>(self)->Answer(
            control, static_cast<ControlId>(id), wParam);
        if (answer != 0) {
            return answer;
        }
    } else if (message == WM_NCDESTROY) {
        ::RemoveWindowSubclass(control, &ScreenReaderAnswers::ControlProc, id);
    }
    return ::DefSubclassProc(control, message, wParam, lParam);
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
