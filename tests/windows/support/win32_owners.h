// Owners for the Win32 handles the Windows tests and the stand-in host take,
// so each is released on every path, failed assertions included.
#pragma once

#include <windows.h>

#include "platform/unique_handle.h"

namespace scriptfonts::test {

// Null when empty; store INVALID_HANDLE_VALUE results through ownKernelHandle.
using UniqueKernelHandle = UniqueHandle<HANDLE, CloseHandle>;

inline UniqueKernelHandle ownKernelHandle(HANDLE handle) noexcept {
    return UniqueKernelHandle(handle == INVALID_HANDLE_VALUE ? nullptr : handle);
}

using UniqueView = UniqueHandle<void*, UnmapViewOfFile>;
using UniqueMemoryDC = UniqueHandle<HDC, DeleteDC>;
inline void releaseScreenDC(HDC dc) noexcept { ReleaseDC(nullptr, dc); }
using UniqueScreenDC = UniqueHandle<HDC, releaseScreenDC>;  // from GetDC(nullptr)
using UniqueFont = UniqueHandle<HFONT, DeleteObject>;
using UniqueBitmap = UniqueHandle<HBITMAP, DeleteObject>;
using UniquePen = UniqueHandle<HPEN, DeleteObject>;
using UniqueMenu = UniqueHandle<HMENU, DestroyMenu>;
// Destroy on the thread that created the window.
using UniqueWindow = UniqueHandle<HWND, DestroyWindow>;

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
