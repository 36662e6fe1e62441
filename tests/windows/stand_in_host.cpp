// Stands in for Photoshop.exe and Illustrator.exe in the Windows tests: a
// console program, copied under the host's executable name, that opens two
// top-level windows and counts the WM_FONTCHANGE each one receives. The
// protocol is in support/stand_in_host_protocol.h.
#include <windows.h>

#include <cstdio>
#include <cwchar>
#include <functional>
#include <string>
#include <thread>

#include "support/stand_in_host_protocol.h"
#include "support/win32_owners.h"

namespace {

using namespace scriptfonts::test;
using namespace scriptfonts::test::stand_in;

// Distinct exit statuses tell a test why a host never became ready.
enum ExitStatus : int { exitQuit = 0, exitUsage = 2, exitNoSession = 3, exitNoWindow = 4 };

constexpr wchar_t windowClassName[] = L"ScriptFontsStandInHostWindow";

struct Options {
    std::wstring session;
    DWORD owner = 0;
    bool hungSecondWindow = false;
};

bool parseOptions(int argc, wchar_t** argv, Options& options) {
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == hungSecondWindowOption) {
            options.hungSecondWindow = true;
        } else if (option == sessionOption && i + 1 < argc) {
            options.session = argv[++i];
        } else if (option == ownerOption && i + 1 < argc) {
            wchar_t* end = nullptr;
            options.owner = std::wcstoul(argv[++i], &end, 10);
            if (end == nullptr || *end != L'\0') return false;
        } else {
            return false;
        }
    }
    return !options.session.empty() && options.owner != 0;
}

LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        // The window's own part of the shared report comes with the creation.
        const auto* creation = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(creation->lpCreateParams));
    } else if (message == WM_FONTCHANGE) {
        if (auto* report = reinterpret_cast<WindowReport*>(GetWindowLongPtrW(window, GWLP_USERDATA))) {
            // A sender that waits for the reply is still waiting while this runs.
            if (InSendMessage()) InterlockedIncrement(&report->sentFontChanges);
            InterlockedIncrement(&report->fontChanges);
        }
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

bool registerWindowClass() {
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = windowProcedure;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = windowClassName;
    return RegisterClassW(&windowClass) != 0;
}

UniqueWindow createCountingWindow(StandInHostReport& report, int index) {
    const std::wstring title = L"stand-in host window " + std::to_wstring(index);
    UniqueWindow window(CreateWindowExW(0, windowClassName, title.c_str(), WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                                        CW_USEDEFAULT, 320, 200, nullptr, nullptr, GetModuleHandleW(nullptr),
                                        &report.windows[index]));
    report.windows[index].window = reinterpret_cast<std::uintptr_t>(window.get());
    return window;
}

// Handles sent and posted messages until quit is set or the owner ends.
void pumpUntil(const HANDLE (&stop)[2]) {
    for (;;) {
        const DWORD woken = MsgWaitForMultipleObjects(2, stop, FALSE, INFINITE, QS_ALLINPUT);
        if (woken != WAIT_OBJECT_0 + 2) return;
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
    }
}

// The second window's thread. Hung, it does not look at its queue until
// resumed, so messages sent to its window wait until the sender gives up.
void runSecondWindow(StandInHostReport& report, bool hung, const HANDLE (&stop)[2], HANDLE resume, HANDLE created) {
    const UniqueWindow window = createCountingWindow(report, secondWindow);
    SetEvent(created);
    if (!window) return;
    if (hung) {
        const HANDLE stopOrResume[3] = {stop[0], stop[1], resume};
        if (WaitForMultipleObjects(3, stopOrResume, FALSE, INFINITE) != WAIT_OBJECT_0 + 2) return;
    }
    pumpUntil(stop);
}

int run(const Options& options) {
    const UniqueKernelHandle ready(OpenEventW(EVENT_MODIFY_STATE, FALSE, readyEventName(options.session).c_str()));
    const UniqueKernelHandle quit(OpenEventW(SYNCHRONIZE, FALSE, quitEventName(options.session).c_str()));
    const UniqueKernelHandle resume(OpenEventW(SYNCHRONIZE, FALSE, resumeEventName(options.session).c_str()));
    const UniqueKernelHandle owner(OpenProcess(SYNCHRONIZE, FALSE, options.owner));
    const UniqueKernelHandle mapping(
        OpenFileMappingW(FILE_MAP_WRITE, FALSE, reportMappingName(options.session).c_str()));
    if (!ready || !quit || !resume || !owner || !mapping) return exitNoSession;
    const UniqueView view(MapViewOfFile(mapping.get(), FILE_MAP_WRITE, 0, 0, sizeof(StandInHostReport)));
    if (!view) return exitNoSession;
    auto& report = *static_cast<StandInHostReport*>(view.get());

    if (!registerWindowClass()) return exitNoWindow;
    const HANDLE stop[2] = {quit.get(), owner.get()};
    const UniqueWindow responsive = createCountingWindow(report, responsiveWindow);
    if (!responsive) return exitNoWindow;

    const UniqueKernelHandle secondCreated(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    if (!secondCreated) return exitNoWindow;
    std::thread second(runSecondWindow, std::ref(report), options.hungSecondWindow, std::cref(stop), resume.get(),
                       secondCreated.get());
    WaitForSingleObject(secondCreated.get(), INFINITE);
    const bool bothWindows = report.windows[secondWindow].window != 0;
    if (bothWindows) {
        SetEvent(ready.get());
        pumpUntil(stop);
    }
    second.join();
    return bothWindows ? exitQuit : exitNoWindow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    Options options;
    if (!parseOptions(argc, argv, options)) {
        std::fwprintf(stderr, L"usage: %ls %ls NAME %ls PID [%ls]\n", argc > 0 ? argv[0] : L"stand_in_host",
                      sessionOption, ownerOption, hungSecondWindowOption);
        return exitUsage;
    }
    try {
        return run(options);
    } catch (...) {  // std::thread could not start
        return exitNoWindow;
    }
}
