// registerFont with a host window whose thread has stopped pumping messages:
// the script's call must come back, with the font added and the host's
// responsive window told, whichever of the two windows EnumWindows meets first;
// once that thread counts as hung a further call does not wait for it; and the
// hung window hears of the font when its thread pumps again. registerFonts and
// unRegisterFont post to every top-level window, the hung one too: no waiting.
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

struct HungHostCase {
    const char* name;
    const char* function;
    HWND responsivePlace;            // where the responsive window goes in the Z order
    std::vector<int> expectedOrder;  // the host's window indices in EnumWindows order
    bool sendsToHost;                // else it posts to all top-level windows and may wait for none
    std::int32_t result;
    bool removes;  // each call withdraws one of two additions made beforehand
};

const std::vector<int> responsiveFirst{stand_in::responsiveWindow, stand_in::secondWindow};
const std::vector<int> hungFirst{stand_in::secondWindow, stand_in::responsiveWindow};
const HungHostCase hungHostCases[] = {
    {"RegisterFontResponsiveWindowFirst", "registerFont", HWND_TOP, responsiveFirst, true, 1, false},
    {"RegisterFontHungWindowFirst", "registerFont", HWND_BOTTOM, hungFirst, true, 1, false},
    {"RegisterFontsResponsiveWindowFirst", "registerFonts", HWND_TOP, responsiveFirst, false, 1, false},
    {"UnRegisterFontHungWindowFirst", "unRegisterFont", HWND_BOTTOM, hungFirst, false, 0, true},
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

class HungHost : public testing::TestWithParam<HungHostCase> {};

TEST_P(HungHost, ReturnsWithinTheBoundAndTheHungWindowHearsOnceItPumps) {
    const HungHostCase& test = GetParam();
    ASSERT_TRUE(processIdsNamed(L"Photoshop.exe").empty()) << "Photoshop.exe is already running";
    StandInHost host(L"Photoshop.exe", HostWindows::secondHung);
    ASSERT_TRUE(host.running());
    const HWND responsive = host.window(stand_in::responsiveWindow);
    ASSERT_TRUE(answersWithin(responsive, answerTimeoutMs)) << "the responsive window does not answer";
    ASSERT_FALSE(answersWithin(host.window(stand_in::secondWindow), silenceTimeoutMs)) << "the hung window answers";
    // Only the responsive window is moved: moving the hung one would wait for its thread.
    ASSERT_TRUE(SetWindowPos(responsive, test.responsivePlace, 0, 0, 0, 0,
                             SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER))
        << "SetWindowPos failed, error " << GetLastError();
    ASSERT_EQ(enumerationOrder(host), test.expectedOrder) << "host window indices in EnumWindows order";

    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const std::wstring path = testFontPath(L"delta.ttf");
    FontCleanup cleanup(path);
    for (int i = 0; test.removes && i < 2; ++i) {
        ASSERT_NE(AddFontResourceW(path.c_str()), 0) << "AddFontResourceW failed, error " << GetLastError();
    }
    // Only a send waits for the hung window, and only until it counts as hung.
    const Milliseconds firstCallBound = test.sendsToHost ? callBound : hungCallBound;
    // On a thread of its own, so an unbounded wait fails this test instead of hanging it.
    const auto timedCall = [&] {
        return std::async(std::launch::async, [&] {
            const Clock::time_point start = Clock::now();
            const CallOutcome outcome = library.call(test.function, toUtf8(path));
            return TimedOutcome{outcome, std::chrono::duration_cast<Milliseconds>(Clock::now() - start)};
        });
    };
    std::vector<TimedOutcome> timed;
    for (int i = 0; i < 2 && host.running(); ++i) {
        std::future<TimedOutcome> call = timedCall();
        if (call.wait_for(3 * firstCallBound) != std::future_status::ready) {
            ADD_FAILURE() << test.function << " still blocked after " << (3 * firstCallBound).count() << " ms";
            host.stop();  // a window that is gone releases any sender
        }
        timed.push_back(call.get());
    }
    ASSERT_EQ(timed.size(), 2u);

    const Milliseconds bounds[] = {firstCallBound, hungCallBound};  // the second call finds the window hung
    for (std::size_t i = 0; i < timed.size(); ++i) {
        EXPECT_EQ(timed[i].outcome.status, statusOk);
        EXPECT_EQ(timed[i].outcome.result, test.result);
        EXPECT_LT(timed[i].elapsed.count(), bounds[i].count())
            << test.function << " call " << i + 1 << " took " << timed[i].elapsed.count() << " ms";
    }
    // A sending call waits for the responsive window each time, a posting one for
    // none; the hung one never handles the message while the calls last.
    EXPECT_EQ(host.sentFontChanges(), (test.sendsToHost ? FontChangeCounts{2, 0} : FontChangeCounts{0, 0}))
        << "WM_FONTCHANGE sent per window (responsive, hung) after " << timed[0].elapsed.count() << " and "
        << timed[1].elapsed.count() << " ms";
    EXPECT_EQ(host.fontChanges()[stand_in::secondWindow], 0)
        << "WM_FONTCHANGE handled by the hung window after " << timed[0].elapsed.count() << " and "
        << timed[1].elapsed.count() << " ms";

    // Recovered, the hung window handles what was posted to it.
    ASSERT_TRUE(host.resume()) << "SetEvent failed, error " << GetLastError();
    const Clock::time_point recoveryEnd = Clock::now() + recoveryBound;
    while ((host.fontChanges()[stand_in::secondWindow] == 0 || host.fontChanges()[stand_in::responsiveWindow] < 2) &&
           Clock::now() < recoveryEnd) {
        Sleep(static_cast<DWORD>(pollInterval.count()));
    }
    EXPECT_GE(host.fontChanges()[stand_in::secondWindow], 1) << "the recovered window never heard of the font";
    EXPECT_EQ(host.fontChanges()[stand_in::responsiveWindow], 2)
        << "WM_FONTCHANGE handled by the responsive window, one a call";
    EXPECT_EQ(cleanup.removeAll(), test.removes ? 0 : 2);
}

INSTANTIATE_TEST_SUITE_P(Calls, HungHost, testing::ValuesIn(hungHostCases), caseName<HungHostCase>);

}  // namespace
}  // namespace scriptfonts::test
