#include "platform/platform.h"
#include "platform/win32/win32.h"

namespace scriptfonts::platform {
namespace {

// Long enough for any responsive window to repaint its font lists; a window
// that takes longer is not worth freezing the host's script for.
constexpr UINT fontChangeReplyTimeoutMs = 5000;

struct WindowEnumeration {
    WindowVisitor visit;
    void* context;
    win32::CallbackGuard guard;
};

BOOL CALLBACK onTopLevelWindow(HWND window, LPARAM parameter) {
    auto& enumeration = *reinterpret_cast<WindowEnumeration*>(parameter);
    return enumeration.guard.run([&] { return enumeration.visit(window, enumeration.context) ? TRUE : FALSE; },
                                 FALSE);
}

}  // namespace

void forEachTopLevelWindow(WindowVisitor visit, void* context) {
    WindowEnumeration enumeration{visit, context, {}};
    EnumWindows(onTopLevelWindow, reinterpret_cast<LPARAM>(&enumeration));
    enumeration.guard.rethrowIfFailed();
}

ProcessId windowProcessId(WindowHandle window) noexcept {
    DWORD process = 0;
    GetWindowThreadProcessId(static_cast<HWND>(window), &process);
    return process;
}

bool sendFontChange(WindowHandle window) noexcept {
    // Not SendMessageW: a hung window would freeze the host forever.
    DWORD_PTR reply = 0;
    return SendMessageTimeoutW(static_cast<HWND>(window), WM_FONTCHANGE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                               fontChangeReplyTimeoutMs, &reply) != 0;
}

void postFontChange(WindowHandle window) noexcept {
    PostMessageW(static_cast<HWND>(window), WM_FONTCHANGE, 0, 0);
}

}  // namespace scriptfonts::platform
