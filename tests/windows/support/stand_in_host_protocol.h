// How a test and the stand-in host program (stand_in_host.cpp) talk.
//
// The test creates three named objects for a session, then starts the program
// (copied under the host's executable name) with
//     <exe> --session NAME --owner PID [--hung-second-window]
// - "<prefix>NAME-ready"  manual-reset event: set by the host once both of its
//   top-level windows exist; a message sent from then on is handled by every
//   window but a hung one.
// - "<prefix>NAME-quit"   manual-reset event: set by the test; the host then
//   destroys its windows and exits with status 0. The host also leaves when
//   the process PID (the test) ends, so a crashed test leaves no host behind.
// - "<prefix>NAME-resume" manual-reset event: set by the test; a hung window's
//   thread then pumps messages like the other one (a host that recovered).
// - "<prefix>NAME-report" file mapping holding one StandInHostReport, which
//   the host keeps current: a test reads the counts at any time.
// Window 0 lives on the host's main thread and always pumps. Window 1 lives
// on a second thread; with --hung-second-window that thread stops pumping
// right after creating its window and stays so until resumed (a hung window).
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

namespace scriptfonts::test::stand_in {

constexpr int windowCount = 2;
constexpr int responsiveWindow = 0;
constexpr int secondWindow = 1;  // the one that hangs on request

struct WindowReport {
    volatile LONG fontChanges;      // WM_FONTCHANGE handled, however it came
    volatile LONG sentFontChanges;  // of those, sent from another thread (InSendMessage), not posted
    std::uint64_t window;           // the HWND, as an integer
};

struct StandInHostReport {
    WindowReport windows[windowCount];
};

constexpr wchar_t sessionOption[] = L"--session";
constexpr wchar_t ownerOption[] = L"--owner";
constexpr wchar_t hungSecondWindowOption[] = L"--hung-second-window";

inline std::wstring objectName(const std::wstring& session, const wchar_t* purpose) {
    return L"Local\\scriptfonts-stand-in-host-" + session + L"-" + purpose;
}
inline std::wstring readyEventName(const std::wstring& session) { return objectName(session, L"ready"); }
inline std::wstring quitEventName(const std::wstring& session) { return objectName(session, L"quit"); }
inline std::wstring resumeEventName(const std::wstring& session) { return objectName(session, L"resume"); }
inline std::wstring reportMappingName(const std::wstring& session) { return objectName(session, L"report"); }

}  // namespace scriptfonts::test::stand_in
