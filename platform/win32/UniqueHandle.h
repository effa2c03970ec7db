#pragma once

#include "platform/win32/WinApi.h"

#include <utility>

namespace koravel::win32 {

// Move-only owner of a Windows object. `Traits` names the empty value and the
// function that frees it.
template <typename Traits> class Unique {
  public:
    using Handle = typename Traits::Handle;

    Unique() = default;
    explicit Unique(Handle handle) : handle_(handle) {}
    ~Unique() { Reset(); }
    Unique(Unique&& other) noexcept : handle_(other.Release()) {}
    Unique& operator=(Unique&& other) noexcept {
        if (this != &other) {
            Reset(other.Release());
        }
        return *this;
    }
    Unique(const Unique&) = delete;
    Unique& operator=(const Unique&) = delete;

    Handle Get() const { return handle_; }
    explicit operator bool() const { return handle_ != Traits::Empty(); }
    Handle Release() { return std::exchange(handle_, Traits::Empty()); }
    void Reset(Handle handle = Traits::Empty()) {
        const Handle old = std::exchange(handle_, handle);
        if (old != Traits::Empty()) {
            Traits::Free(old);
        }
    }

  private:
    Handle handle_ = Traits::Empty();
};

struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Empty() { return INVALID_HANDLE_VALUE; }
    static void Free(Handle h) { ::CloseHandle(h); }
};

struct KernelHandleTraits { // processes, threads, events: empty is null
    using Handle = HANDLE;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { ::CloseHandle(h); }
};

struct ModuleTraits {
    using Handle = HMODULE;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { ::FreeLibrary(h); }
};

template <typename GdiHandle> struct GdiObjectTraits {
    using Handle = GdiHandle;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { ::DeleteObject(h); }
};

struct IconTraits {
    using Handle = HICON;
    static Handle Empty() { return nullptr; }
    static void Free(Handle h) { ::DestroyIcon(h); }
};

using UniqueFile = Unique<FileHandleTraits>;
using UniqueKernelHandle = Unique<KernelHandleTraits>;
using UniqueModule = Unique<ModuleTraits>;
using UniqueFont = Unique<GdiObjectTraits<HFONT>>;
using UniqueBitmap = Unique<GdiObjectTraits<HBITMAP>>;
using UniqueIcon = Unique<IconTraits>;

} // namespace koravel::win32
