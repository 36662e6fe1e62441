// Owners for the Win32 handles the Windows tests and the stand-in host take,
// so each is released on every path, failed assertions included.
#pragma once

#include <windows.h>

#include <memory>
#include <type_traits>

namespace scriptfonts::test {

struct KernelHandleCloser {
    void operator()(HANDLE handle) const noexcept { CloseHandle(handle); }
};
// Null when empty; store INVALID_HANDLE_VALUE results through ownKernelHandle.
using UniqueKernelHandle = std::unique_ptr<void, KernelHandleCloser>;

inline UniqueKernelHandle ownKernelHandle(HANDLE handle) noexcept {
    return UniqueKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

struct ViewUnmapper {
    void operator()(void* view) const noexcept { UnmapViewOfFile(view); }
};
using UniqueView = std::unique_ptr<void, ViewUnmapper>;

struct MemoryDCDeleter {
    void operator()(HDC dc) const noexcept { DeleteDC(dc); }
};
using UniqueMemoryDC = std::unique_ptr<std::remove_pointer_t<HDC>, MemoryDCDeleter>;

struct GdiObjectDeleter {
    void operator()(HGDIOBJ object) const noexcept { DeleteObject(object); }
};
using UniqueFont = std::unique_ptr<std::remove_pointer_t<HFONT>, GdiObjectDeleter>;
using UniqueBitmap = std::unique_ptr<std::remove_pointer_t<HBITMAP>, GdiObjectDeleter>;

struct WindowDestroyer {
    void operator()(HWND window) const noexcept { DestroyWindow(window); }
};
// Destroy on the thread that created the window.
using UniqueWindow = std::unique_ptr<std::remove_pointer_t<HWND>, WindowDestroyer>;

// Selects an object into a DC and puts the previous one back on scope exit,
// so the object can be deleted afterwards.
class ScopedSelection {
public:
    ScopedSelection(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(SelectObject(dc, object)) {}
    ~ScopedSelection() {
        if (previous_ != nullptr && previous_ != HGDI_ERROR) SelectObject(dc_, previous_);
    }
    ScopedSelection(const ScopedSelection&) = delete;
    ScopedSelection& operator=(const ScopedSelection&) = delete;

    bool selected() const noexcept { return previous_ != nullptr && previous_ != HGDI_ERROR; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

}  // namespace scriptfonts::test
