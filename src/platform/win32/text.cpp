#include <cwchar>

#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace scriptfonts::platform {

int utf8ToUtf16(const char* bytes, int byteCount, char16_t* out, int outCapacity) noexcept {
    // Flags 0: malformed sequences become U+FFFD instead of failing.
    return MultiByteToWideChar(CP_UTF8, 0, bytes, byteCount, reinterpret_cast<wchar_t*>(out), outCapacity);
}

bool sameFileName(const char16_t* a, const char16_t* b) noexcept {
    return _wcsicmp(win32::wide(a), win32::wide(b)) == 0;
}

}  // namespace scriptfonts::platform
