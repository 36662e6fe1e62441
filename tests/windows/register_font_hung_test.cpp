// registerFont with a host window whose thread has stopped pumping messages:
// the script's call must come back, with the font added and the host's
// responsive window told, whichever of the two windows EnumWindows meets first.
#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <vector>

#include "support/case_name.h"
#include "support/font_cleanup.h"
#include "support/process_snapshot.h"
#include "support/script_library.h"
#include "support/stand_in_host.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

// The library waits at most 5 s for a window's reply; anything near three
// times that means it waited for the hung window without a bound.
constexpr Milliseconds callBound{15000};
// A window that answers does so at once; one that does not is given a moment.
constexpr UINT answerTimeoutMs = 5000;
constexpr UINT silenceTimeoutMs = 200;

struct TimedOutcome {
    CallOutcome outcome;
    Milliseconds elapsed;
};

bool answersWithin(HWND window, UINT timeoutMs) {
    DWORD_PTR reply = 0;
    return SendMessageTimeoutW(window, WM_NULL, 0, 0, SMTO_NORMAL, timeoutMs, &reply) != 0;
}

struct WindowOrderCase {
    const char* name;
    HWND responsivePlace;            // where the responsive window goes in the Z order
    std::vector<int> expectedOrder;  // the host's window indices in EnumWindows order
};

const WindowOrderCase windowOrders[] = {
    {"ResponsiveWindowFirst", HWND_TOP, {stand_in::responsiveWindow, stand_in::secondWindow}},
    {"HungWindowFirst", HWND_BOTTOM, {stand_in::secondWindow, stand_in::responsiveWindow}},
};

// EnumWindows goes through top-level windows in Z order.
std::vector<int> enumerationOrder(const StandInHost& host) {
    struct Search {
        const StandInHost* host;
        std::vector<int> order;
    } search{&host, {}};
    EnumWindows(
        [](HWND window, LPARAM parameter) -> BOOL {
            auto& found = *reinterpret_cast<Search*>(parameter);
            for (int i = 0; i < stand_in::windowCount; ++i) {
                if (found.host->window(i) == window) found.order.push_back(i);
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.order;
}

class RegisterFontHungHost : public testing::TestWithParam<WindowOrderCase> {};

TEST_P(RegisterFontHungHost, ReturnsWithinTheBoundHavingToldTheResponsiveWindow) {
    const WindowOrderCase& order = GetParam();
    ASSERT_TRUE(processIdsNamed(L"Photoshop.exe").empty()) << "Photoshop.exe is already running";
    StandInHost host(L"Photoshop.exe", HostWindows::secondHung);
    ASSERT_TRUE(host.running());
    const HWND responsive = host.window(stand_in::responsiveWindow);
    ASSERT_TRUE(answersWithin(responsive, answerTimeoutMs)) << "the responsive window does not answer";
    ASSERT_FALSE(answersWithin(host.window(stand_in::secondWindow), silenceTimeoutMs)) << "the hung window answers";
    // Only the responsive window is moved: moving the hung one would wait for its thread.
    ASSERT_TRUE(SetWindowPos(responsive, order.responsivePlace, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER))
        << "SetWindowPos failed, error " << GetLastError();
    ASSERT_EQ(enumerationOrder(host), order.expectedOrder) << "host window indices in EnumWindows order";

    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const std::wstring path = testFontPath(L"delta.ttf");
    FontCleanup cleanup(path);
    // On a thread of its own, so an unbounded wait fails this test instead of hanging it.
    std::future<TimedOutcome> call = std::async(std::launch::async, [&] {
        const Clock::time_point start = Clock::now();
        const CallOutcome outcome = library.call("registerFont", toUtf8(path));
        return TimedOutcome{outcome, std::chrono::duration_cast<Milliseconds>(Clock::now() - start)};
    });
    if (call.wait_for(callBound) != std::future_status::ready) {
        ADD_FAILURE() << "registerFont still blocked after " << callBound.count() << " ms";
        host.stop();  // a window that is gone releases any sender
    }
    const TimedOutcome timed = call.get();

    EXPECT_EQ(timed.outcome.status, statusOk);
    EXPECT_EQ(timed.outcome.result, 1);
    EXPECT_LT(timed.elapsed, callBound) << "registerFont took " << timed.elapsed.count() << " ms";
    // The responsive window is told, and waited for; the hung one never
    // handles the message while the call lasts.
    EXPECT_EQ(host.sentFontChanges(), (FontChangeCounts{1, 0}))
        << "WM_FONTCHANGE sent per window (responsive, hung) after " << timed.elapsed.count() << " ms";
    EXPECT_EQ(host.fontChanges(), (FontChangeCounts{1, 0}))
        << "WM_FONTCHANGE handled per window (responsive, hung) after " << timed.elapsed.count() << " ms";
    EXPECT_EQ(cleanup.removeAll(), 1);
}

INSTANTIATE_TEST_SUITE_P(Orders, RegisterFontHungHost, testing::ValuesIn(windowOrders), caseName<WindowOrderCase>);

}  // namespace
}  // namespace scriptfonts::test
