#include <cwchar>

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace scriptfonts::platform {
namespace {

struct FontEnumeration {
    FontVisitor visit;
    void* context;
    win32::CallbackGuard guard;
};

int CALLBACK onFontFamily(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM parameter) {
    auto& enumeration = *reinterpret_cast<FontEnumeration*>(parameter);
    return enumeration.guard.run(
        [&] {
            const wchar_t* face = font->lfFaceName;
            const std::u16string_view name(reinterpret_cast<const char16_t*>(face), wcsnlen(face, LF_FACESIZE));
            return enumeration.visit(name, enumeration.context);
        },
        0);
}

}  // namespace

int addFontResource(const char16_t* path) noexcept { return AddFontResourceW(win32::wide(path)); }

int removeFontResource(const char16_t* path) noexcept { return RemoveFontResourceW(win32::wide(path)) ? 1 : 0; }

void broadcastFontChange() noexcept { PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0); }

DeviceContext getDC(WindowHandle window) noexcept { return GetDC(static_cast<HWND>(window)); }

void releaseDC(WindowHandle window, DeviceContext dc) noexcept {
    ReleaseDC(static_cast<HWND>(window), static_cast<HDC>(dc));
}

void enumerateFontFamilies(DeviceContext dc, const FontRequest& request, FontVisitor visit, void* context) {
    static_assert(faceNameCapacity == LF_FACESIZE);
    LOGFONTW font{};
    font.lfCharSet = request.charset;
    // Callers pass names shorter than the field, so this copy always fits.
    if (wcscpy_s(font.lfFaceName, LF_FACESIZE, win32::wide(request.faceName)) != 0) return;

    FontEnumeration enumeration{visit, context, {}};
    EnumFontFamiliesExW(static_cast<HDC>(dc), &font, onFontFamily, reinterpret_cast<LPARAM>(&enumeration), 0);
    enumeration.guard.rethrowIfFailed();
}

}  // namespace scriptfonts::platform
