#include "support/font_change_counter.h"

#include <gtest/gtest.h>

#include <utility>

namespace scriptfonts::test {
namespace {

constexpr wchar_t windowClassName[] = L"ScriptFontsTestFontChangeCounter";
// Posted to our own window behind whatever the call under test posted.
constexpr UINT markerMessage = WM_APP + 1;
// Delivery takes microseconds; this only keeps a broken queue from hanging the run.
constexpr ULONGLONG deliveryDeadlineMs = 10000;

bool registerWindowClass(WNDPROC procedure) {
    static const bool registered = [procedure] {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = procedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = windowClassName;
        return RegisterClassW(&windowClass) != 0;
    }();
    return registered;
}

}  // namespace

FontChangeCounter::FontChangeCounter() {
    if (!registerWindowClass(windowProcedure)) {
        ADD_FAILURE() << "RegisterClassW failed, error " << GetLastError();
        return;
    }
    // Top-level (no parent, not message-only): broadcasts reach only those.
    window_.reset(CreateWindowExW(0, windowClassName, L"font change counter", WS_OVERLAPPED, 0, 0, 0, 0, nullptr,
                                  nullptr, GetModuleHandleW(nullptr), this));
    if (!window_) ADD_FAILURE() << "CreateWindowExW failed, error " << GetLastError();
}

LRESULT CALLBACK FontChangeCounter::windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    }
    auto* counter = reinterpret_cast<FontChangeCounter*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (counter != nullptr) {
        if (message == WM_FONTCHANGE) {
            ++counter->fontChanges_;
            return 0;
        }
        if (message == markerMessage) {
            counter->lastMarkerSeen_ = wParam;
            return 0;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

int FontChangeCounter::takeCount() {
    if (!window_) return -1;
    // Messages posted to one thread are delivered in the order they were
    // posted, and a broadcast is queued to every window before PostMessage
    // returns. So once a marker posted now comes out of the queue, every
    // broadcast posted before it has been counted.
    const WPARAM marker = ++lastMarkerPosted_;
    if (!PostMessageW(window_.get(), markerMessage, marker, 0)) {
        ADD_FAILURE() << "PostMessageW(marker) failed, error " << GetLastError();
        return -1;
    }
    const ULONGLONG deadline = GetTickCount64() + deliveryDeadlineMs;
    while (lastMarkerSeen_ != marker) {
        MSG message;
        if (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageW(&message);
            continue;
        }
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) {
            ADD_FAILURE() << "the marker message was not delivered within " << deliveryDeadlineMs << " ms";
            return -1;
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(deadline - now), QS_ALLINPUT);
    }
    return std::exchange(fontChanges_, 0);
}

}  // namespace scriptfonts::test
