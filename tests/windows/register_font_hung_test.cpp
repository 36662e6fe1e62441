// registerFont with a host window whose thread has stopped pumping messages:
// the script's call must come back, with the font added and the host's
// responsive window told, whichever of the two windows EnumWindows meets first;
// once that thread counts as hung a further call does not wait for it; and the
// hung window hears of the font when its thread pumps again.
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

// The library waits at most 5 s for a window's reply, and not at all for one
// whose thread already counts as hung.
constexpr Milliseconds callBound{8000};
constexpr Milliseconds hungCallBound{2000};
constexpr Milliseconds recoveryBound{5000};  // for the posted message once the thread pumps
constexpr Milliseconds pollInterval{20};
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

TEST_P(RegisterFontHungHost, ReturnsWithinTheBoundAndTheHungWindowHearsOnceItPumps) {
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
    const auto timedCall = [&] {
        return std::async(std::launch::async, [&] {
            const Clock::time_point start = Clock::now();
            const CallOutcome outcome = library.call("registerFont", toUtf8(path));
            return TimedOutcome{outcome, std::chrono::duration_cast<Milliseconds>(Clock::now() - start)};
        });
    };
    std::vector<TimedOutcome> timed;
    for (int i = 0; i < 2 && host.running(); ++i) {
        std::future<TimedOutcome> call = timedCall();
        if (call.wait_for(3 * callBound) != std::future_status::ready) {
            ADD_FAILURE() << "registerFont still blocked after " << (3 * callBound).count() << " ms";
            host.stop();  // a window that is gone releases any sender
        }
        timed.push_back(call.get());
    }
    ASSERT_EQ(timed.size(), 2u);

    for (const TimedOutcome& call : timed) {
        EXPECT_EQ(call.outcome.status, statusOk);
        EXPECT_EQ(call.outcome.result, 1);
    }
    EXPECT_LT(timed[0].elapsed.count(), callBound.count()) << "registerFont took " << timed[0].elapsed.count() << " ms";
    EXPECT_LT(timed[1].elapsed.count(), hungCallBound.count())
        << "registerFont took " << timed[1].elapsed.count() << " ms with the window already counted as hung";
    // The responsive window is told, and waited for, by each call; the hung
    // one never handles the message while the calls last.
    EXPECT_EQ(host.sentFontChanges(), (FontChangeCounts{2, 0}))
        << "WM_FONTCHANGE sent per window (responsive, hung) after " << timed[0].elapsed.count() << " and "
        << timed[1].elapsed.count() << " ms";
    EXPECT_EQ(host.fontChanges(), (FontChangeCounts{2, 0}))
        << "WM_FONTCHANGE handled per window (responsive, hung) after " << timed[0].elapsed.count() << " and "
        << timed[1].elapsed.count() << " ms";

    // Recovered, the hung window handles what was posted to it.
    ASSERT_TRUE(host.resume()) << "SetEvent failed, error " << GetLastError();
    const Clock::time_point recoveryEnd = Clock::now() + recoveryBound;
    while (host.fontChanges()[stand_in::secondWindow] == 0 && Clock::now() < recoveryEnd) {
        Sleep(static_cast<DWORD>(pollInterval.count()));
    }
    EXPECT_GE(host.fontChanges()[stand_in::secondWindow], 1) << "the recovered window never heard of the font";
    EXPECT_EQ(host.fontChanges()[stand_in::responsiveWindow], 2)
        << "the responsive window was told more than once a call";
    EXPECT_EQ(cleanup.removeAll(), 2);
}

INSTANTIATE_TEST_SUITE_P(Orders, RegisterFontHungHost, testing::ValuesIn(windowOrders), caseName<WindowOrderCase>);

}  // namespace
}  // namespace scriptfonts::test
