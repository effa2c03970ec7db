#include "ui/win32/NamedAccessible.h"

#include <string>

namespace koravel::win32 {
namespace {

bool IsSelf(const VARIANT& child) {
    return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

} // namespace

NamedAccessible::NamedAccessible(IAccessible* standard, HWND control, const AccessibleText& text,
                                 SysAllocStringFunction allocString)
    : standard_(standard), control_(control), text_(text), allocString_(allocString) {}

NamedAccessible::~NamedAccessible() {
    standard_->Release();
}

HRESULT NamedAccessible::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
    } else if (iid == __uuidof(IOleWindow)) {
        *object = static_cast<IOleWindow*>(this);
    } else {
        *object = nullptr;
        return E_NOINTERFACE;
    }
    AddRef();
    return S_OK;
}

ULONG NamedAccessible::AddRef() {
    return static_cast<ULONG>(::InterlockedIncrement(&references_));
}

ULONG NamedAccessible::Release() {
    const LONG left = ::InterlockedDecrement(&references_);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

HRESULT NamedAccessible::Answer(const wchar_t* text, BSTR* out) const {
    if (out == nullptr) {
        return E_POINTER;
    }
    *out = allocString_(text);
    return *out != nullptr ? S_OK : E_OUTOFMEMORY;
}

HRESULT NamedAccessible::get_accName(VARIANT child, BSTR* name) {
    return IsSelf(child) && text_.name != nullptr ? Answer(text_.name, name)
                                                  : standard_->get_accName(child, name);
}

HRESULT NamedAccessible::get_accDescription(VARIANT child, BSTR* description) {
    return IsSelf(child) && text_.description != nullptr
               ? Answer(text_.description, description)
               : standard_->get_accDescription(child, description);
}

HRESULT NamedAccessible::get_accValue(VARIANT child, BSTR* value) {
    if (!IsSelf(child) || !text_.valueIsText) {
        return standard_->get_accValue(child, value);
    }
    std::wstring text(static_cast<std::size_t>(::GetWindowTextLengthW(control_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        ::GetWindowTextW(control_, text.data(), static_cast<int>(text.size()))));
    return Answer(text.c_str(), value);
}

HRESULT NamedAccessible::get_accRole(VARIANT child, VARIANT* role) {
    if (!IsSelf(child)) {
        return standard_->get_accRole(child, role);
    }
    if (role == nullptr) {
        return E_POINTER;
    }
    role->vt = VT_I4;
    role->lVal = text_.role;
    return S_OK;
}

HRESULT NamedAccessible::GetWindow(HWND* window) {
    if (window == nullptr) {
        return E_POINTER;
    }
    *window = control_;
    return S_OK;
}

HRESULT NamedAccessible::ContextSensitiveHelp(BOOL) {
    return E_NOTIMPL;
}

// Everything else is the standard object's.

HRESULT NamedAccessible::GetTypeInfoCount(UINT* count) {
    return standard_->GetTypeInfoCount(count);
}

HRESULT NamedAccessible::GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) {
    return standard_->GetTypeInfo(index, locale, info);
}

HRESULT NamedAccessible::GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale,
                                       DISPID* ids) {
    return standard_->GetIDsOfNames(iid, names, count, locale, ids);
}

HRESULT NamedAccessible::Invoke(DISPID id, REFIID iid, LCID locale, WORD flags, DISPPARAMS* params,
                                VARIANT* result, EXCEPINFO* exception, UINT* badArgument) {
    return standard_->Invoke(id, iid, locale, flags, params, result, exception, badArgument);
}

HRESULT NamedAccessible::get_accParent(IDispatch** parent) {
    return standard_->get_accParent(parent);
}

HRESULT NamedAccessible::get_accChildCount(LONG* count) {
    return standard_->get_accChildCount(count);
}

HRESULT NamedAccessible::get_accChild(VARIANT child, IDispatch** object) {
    return standard_->get_accChild(child, object);
}

HRESULT NamedAccessible::get_accState(VARIANT child, VARIANT* state) {
    return standard_->get_accState(child, state);
}

HRESULT NamedAccessible::get_accHelp(VARIANT child, BSTR* help) {
    return standard_->get_accHelp(child, help);
}

HRESULT NamedAccessible::get_accHelpTopic(BSTR* file, VARIANT child, LONG* topic) {
    return standard_->get_accHelpTopic(file, child, topic);
}

HRESULT NamedAccessible::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return standard_->get_accKeyboardShortcut(child, shortcut);
}

HRESULT NamedAccessible::get_accFocus(VARIANT* focused) {
    return standard_->get_accFocus(focused);
}

HRESULT NamedAccessible::get_accSelection(VARIANT* selected) {
    return standard_->get_accSelection(selected);
}

HRESULT NamedAccessible::get_accDefaultAction(VARIANT child, BSTR* action) {
    return standard_->get_accDefaultAction(child, action);
}

HRESULT NamedAccessible::accSelect(LONG how, VARIANT child) {
    return standard_->accSelect(how, child);
}

HRESULT NamedAccessible::accLocation(LONG* left, LONG* top, LONG* width, LONG* height,
                                     VARIANT child) {
    return standard_->accLocation(left, top, width, height, child);
}

HRESULT NamedAccessible::accNavigate(LONG direction, VARIANT start, VARIANT* end) {
    return standard_->accNavigate(direction, start, end);
}

HRESULT NamedAccessible::accHitTest(LONG left, LONG top, VARIANT* child) {
    return standard_->accHitTest(left, top, child);
}

HRESULT NamedAccessible::accDoDefaultAction(VARIANT child) {
    return standard_->accDoDefaultAction(child);
}

HRESULT NamedAccessible::put_accName(VARIANT child, BSTR name) {
    return standard_->put_accName(child, name);
}

HRESULT NamedAccessible::put_accValue(VARIANT child, BSTR value) {
    return standard_->put_accValue(child, value);
}

} // namespace koravel::win32
