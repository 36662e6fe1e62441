// The DLL where it really runs: inside the host's own process, whose windows
// registerFont tells. This program, copied with the DLL and a font into a
// scratch folder as Photoshop.exe, runs each case there. Run under its own
// name, each case starts that copy with a filter for the same case and passes
// when the copy's run of it does.
#include <gtest/gtest.h>
#include <windows.h>
#include <tlhelp32.h>  // needs <windows.h> first

#include <array>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <optional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "support/copied_program.h"
#include "support/font_catalog.h"
#include "support/font_cleanup.h"
#include "support/process_snapshot.h"
#include "support/script_library.h"
#include "support/stand_in_host.h"
#include "support/system_handles.h"
#include "support/test_files.h"
#include "support/win32_owners.h"

namespace scriptfonts::test {
namespace {

using Clock = std::chrono::steady_clock;
using Milliseconds = std::chrono::milliseconds;

constexpr wchar_t hostExecutable[] = L"Photoshop.exe";
constexpr TestFont hostFont = gammaFont;  // copied beside the host
constexpr DWORD hostRunTimeoutMs = 120000;

// --- inside the host ---

constexpr int hostWindowCount = 3;
using WindowCounts = std::array<LONG, hostWindowCount>;
WindowCounts fontChanges{};  // WM_FONTCHANGE handled per window, however it came
// Posted behind whatever is queued: once handled, so is all that came before.
constexpr UINT queueMarker = WM_APP + 1;
LONG queueMarkerHandled = 0;

// The library waits at most 5 s for a window; a host thread counted as hung
// is skipped at once, so a later call does not wait again.
constexpr Milliseconds blockedCallBound{8000};
constexpr Milliseconds hungCallBound{2000};
constexpr Milliseconds settleTime{300};      // long enough for a stray post to arrive
constexpr Milliseconds recoveryBound{5000};  // for the posts once the thread pumps again
constexpr DWORD workerTimeoutMs = 60000;     // far past any bounded wait

constexpr int warmUpCycles = 10;
constexpr int measuredCycles = 300;
constexpr std::int64_t heapGrowthBound = 64 << 10;

LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_FONTCHANGE) {
        InterlockedIncrement(&fontChanges[static_cast<std::size_t>(GetWindowLongPtrW(window, GWLP_USERDATA))]);
        return 0;
    }
    if (message == queueMarker) {
        InterlockedExchange(&queueMarkerHandled, 1);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

// The host's own top-level windows, on the thread that makes them.
class CountingWindows {
public:
    CountingWindows() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = countingProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = className;
        RegisterClassW(&windowClass);  // fails harmlessly when a case before registered it
        for (int i = 0; i < hostWindowCount; ++i) {
            windows_[i].reset(CreateWindowExW(0, className, L"host window", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100,
                                              nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
            EXPECT_NE(windows_[i].get(), nullptr) << "CreateWindowExW failed, error " << GetLastError();
            if (windows_[i]) SetWindowLongPtrW(windows_[i].get(), GWLP_USERDATA, i);
        }
        // What making the windows queued is handled before counting starts.
        queueMarkerHandled = 0;
        if (windows_[0]) PostMessageW(windows_[0].get(), queueMarker, 0, 0);
        pump(settleTime, nullptr, [] { return InterlockedCompareExchange(&queueMarkerHandled, 0, 0) != 0; });
        fontChanges = {};
    }

    // Handles messages for up to `time`, stopping early once `stop` is set or done() holds.
    static void pump(Milliseconds time, HANDLE stop = nullptr, bool (*done)() = nullptr) {
        const Clock::time_point end = Clock::now() + time;
        for (Clock::time_point now = Clock::now(); now < end; now = Clock::now()) {
            const auto left = static_cast<DWORD>(std::chrono::duration_cast<Milliseconds>(end - now).count());
            const DWORD woken = MsgWaitForMultipleObjects(stop ? 1 : 0, &stop, FALSE, left, QS_ALLINPUT);
            MSG message;
            while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
            if ((stop != nullptr && woken == WAIT_OBJECT_0) || (done != nullptr && done())) return;
        }
    }

private:
    static constexpr wchar_t className[] = L"ScriptFontsInHostWindow";
    std::array<UniqueWindow, hostWindowCount> windows_;
};

WindowCounts countsNow() {
    WindowCounts counts;
    for (int i = 0; i < hostWindowCount; ++i) counts[i] = InterlockedCompareExchange(&fontChanges[i], 0, 0);
    return counts;
}

bool everyWindowTold() {
    for (const LONG count : countsNow()) {
        if (count == 0) return false;
    }
    return true;
}

struct TimedCall {
    CallOutcome outcome{-1, -1, -1};
    Milliseconds elapsed{};
    WindowCounts toldOnReturn{};
};

TimedCall timedRegisterFont(const ScriptLibrary& library) {
    const Clock::time_point start = Clock::now();
    TimedCall timed;
    timed.outcome = library.call("registerFont", toUtf8(besideTestProgram(hostFont.fileName)));
    timed.toldOnReturn = countsNow();
    timed.elapsed = std::chrono::duration_cast<Milliseconds>(Clock::now() - start);
    return timed;
}

constexpr WindowCounts toldOnce{1, 1, 1};

// --- the library's process snapshots, counted, and refused when asked ---

LONG snapshotsAsked = 0;
bool refuseSnapshots = false;
HANDLE WINAPI watchedSnapshot(DWORD flags, DWORD process) {
    InterlockedIncrement(&snapshotsAsked);
    return refuseSnapshots ? INVALID_HANDLE_VALUE : CreateToolhelp32Snapshot(flags, process);
}

// The DLL's import of CreateToolhelp32Snapshot (its import address table
// entry, found by name) pointed at watchedSnapshot while this lives.
class WatchedSnapshots {
public:
    explicit WatchedSnapshots(HMODULE module) {
        snapshotsAsked = 0;
        auto* const base = reinterpret_cast<BYTE*>(module);
        const LONG headers = reinterpret_cast<const IMAGE_DOS_HEADER*>(base)->e_lfanew;
        const DWORD imports = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + headers)
                                  ->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT]
                                  .VirtualAddress;
        for (auto* dll = reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + imports);
             imports != 0 && dll->Name != 0 && slot_ == nullptr; ++dll) {
            if (_stricmp(reinterpret_cast<const char*>(base + dll->Name), "kernel32.dll") != 0) continue;
            auto* address = reinterpret_cast<IMAGE_THUNK_DATA*>(base + dll->FirstThunk);
            for (auto* name = reinterpret_cast<const IMAGE_THUNK_DATA*>(base + dll->OriginalFirstThunk);
                 dll->OriginalFirstThunk != 0 && name->u1.AddressOfData != 0; ++name, ++address) {
                if (IMAGE_SNAP_BY_ORDINAL(name->u1.Ordinal)) continue;
                const auto* byName = reinterpret_cast<const IMAGE_IMPORT_BY_NAME*>(base + name->u1.AddressOfData);
                if (std::strcmp(reinterpret_cast<const char*>(byName->Name), "CreateToolhelp32Snapshot") == 0) {
                    slot_ = &address->u1.Function;
                }
            }
        }
        if (slot_ != nullptr) original_ = swap(reinterpret_cast<ULONGLONG>(&watchedSnapshot));
    }
    ~WatchedSnapshots() {
        if (slot_ != nullptr) swap(original_);
    }
    WatchedSnapshots(const WatchedSnapshots&) = delete;
    WatchedSnapshots& operator=(const WatchedSnapshots&) = delete;
    bool watching() const { return slot_ != nullptr; }

private:
    ULONGLONG swap(ULONGLONG value) {
        DWORD protection = 0;
        VirtualProtect(slot_, sizeof *slot_, PAGE_READWRITE, &protection);
        const ULONGLONG previous = std::exchange(*slot_, value);
        VirtualProtect(slot_, sizeof *slot_, protection, &protection);
        return previous;
    }
    ULONGLONG* slot_ = nullptr;
    ULONGLONG original_ = 0;
};

// How the window thread spends the call: making it, pumping, or blocked.
enum class WindowThread { calls, pumps, waits };

void callWhileTheWindowThread(WindowThread mode, bool snapshotsRefused = false) {
    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const WatchedSnapshots watched(library.module());
    ASSERT_TRUE(watched.watching()) << "scriptfonts.dll imports no CreateToolhelp32Snapshot from KERNEL32.dll";
    refuseSnapshots = snapshotsRefused;
    const FontCleanup cleanup(besideTestProgram(hostFont.fileName));
    const CountingWindows windows;
    std::vector<TimedCall> calls;
    if (mode == WindowThread::calls) {
        calls.push_back(timedRegisterFont(library));
    } else {
        const UniqueKernelHandle done(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        ASSERT_TRUE(done);
        // Blocked, the host's thread counts as hung after the first call: the
        // second shows it is not waited for again.
        const int callCount = mode == WindowThread::waits ? 2 : 1;
        std::thread worker([&] {
            for (int i = 0; i < callCount; ++i) calls.push_back(timedRegisterFont(library));
            SetEvent(done.get());
        });
        if (mode == WindowThread::pumps) {
            CountingWindows::pump(Milliseconds{workerTimeoutMs}, done.get());
        } else {
            EXPECT_EQ(WaitForSingleObject(done.get(), workerTimeoutMs), WAIT_OBJECT_0) << "the worker never returned";
        }
        worker.join();
    }
    for (std::size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].outcome.status, statusOk) << "call " << i;
        EXPECT_EQ(calls[i].outcome.result, 1) << "call " << i;
        std::printf("call %zu returned after %lld ms\n", i, static_cast<long long>(calls[i].elapsed.count()));
    }
    ASSERT_EQ(calls.size(), mode == WindowThread::waits ? 2u : 1u);
    EXPECT_EQ(snapshotsAsked, 0) << "process snapshots the library asked for inside Photoshop.exe";

    if (mode == WindowThread::waits) {
        EXPECT_LT(calls[0].elapsed.count(), blockedCallBound.count())
            << "registerFont took " << calls[0].elapsed.count() << " ms";
        EXPECT_LT(calls[1].elapsed.count(), hungCallBound.count())
            << "registerFont took " << calls[1].elapsed.count() << " ms with the window thread counted as hung";
        // A thread that does not pump handles nothing: what it gets now was posted.
        EXPECT_EQ(countsNow(), WindowCounts{}) << "WM_FONTCHANGE per window before the thread pumped";
        CountingWindows::pump(recoveryBound, nullptr, everyWindowTold);
        const WindowCounts recovered = countsNow();
        for (int i = 0; i < hostWindowCount; ++i) {
            EXPECT_GE(recovered[i], 1) << "window " << i << " never heard of the font once its thread pumped";
        }
    } else {
        EXPECT_EQ(calls[0].toldOnReturn, toldOnce) << "WM_FONTCHANGE per window when registerFont returned";
        CountingWindows::pump(settleTime);
        EXPECT_EQ(countsNow(), toldOnce) << "WM_FONTCHANGE per window once the thread pumped again";
    }
}

// Another Photoshop.exe was started first: this one, the caller, is told
// although it is not the first of the name.
void callInTheSecondOfTwoHosts() {
    const std::vector<DWORD> hosts = processIdsNamed(hostExecutable);
    ASSERT_EQ(hosts.size(), 2u) << "Photoshop.exe processes in the snapshot";
    ASSERT_EQ(hosts[1], GetCurrentProcessId()) << "the caller is not listed second, after process " << hosts[0];
    callWhileTheWindowThread(WindowThread::calls);
}

// --- the process's counters ---

// Busy bytes of every heap of the process. Allocates nothing itself.
std::int64_t heapBusyBytes() {
    HANDLE heaps[256];
    const DWORD count = GetProcessHeaps(static_cast<DWORD>(std::size(heaps)), heaps);
    std::int64_t busy = 0;
    for (DWORD i = 0; i < count && i < std::size(heaps); ++i) {
        if (!HeapLock(heaps[i])) continue;
        PROCESS_HEAP_ENTRY entry{};
        while (HeapWalk(heaps[i], &entry)) {
            if ((entry.wFlags & PROCESS_HEAP_ENTRY_BUSY) != 0) busy += entry.cbData;
        }
        HeapUnlock(heaps[i]);
    }
    return busy;
}

// What the engine does in a panel's life: load, every function once, terminate, unload.
bool loadCallUnload(const std::string& font, const std::string& face) {
    struct Call {
        const char* function;
        const std::string* text;
        std::int32_t expected;
    };
    const std::string empty;
    const Call calls[] = {
        {"registerFont", &font, 1},   {"registerFontA", &font, 1},   {"findFontByName", &face, 1},
        {"unRegisterFont", &font, 0}, {"unRegisterFont", &font, 0}, {"registerFonts", &empty, 1},
    };
    bool ok = false;
    {
        const ScriptLibrary library;
        ok = library.module() != nullptr;
        for (const Call& call : calls) {
            const CallOutcome outcome = library.call(call.function, *call.text);
            ok = outcome.status == statusOk && outcome.result == call.expected && ok;
        }
    }
    // Nothing the library did keeps it loaded.
    return GetModuleHandleW(L"scriptfonts.dll") == nullptr && ok;
}

void loadAndUnloadRepeatedly() {
    const std::string font = toUtf8(besideTestProgram(hostFont.fileName));
    const std::string face = toUtf8(hostFont.face);
    const FontCleanup cleanup(besideTestProgram(hostFont.fileName));
    int failedCycles = 0;
    for (int i = 0; i < warmUpCycles; ++i) failedCycles += loadCallUnload(font, face) ? 0 : 1;

    // Between the readings only the cycles run.
    const HandleRows handlesBefore = handleRowsOfThisProcess();
    const std::int64_t heapBefore = heapBusyBytes();
    for (int i = 0; i < measuredCycles; ++i) failedCycles += loadCallUnload(font, face) ? 0 : 1;
    const std::int64_t heapAfter = heapBusyBytes();
    const HandleRows handlesAfter = handleRowsOfThisProcess();

    std::printf("heap busy bytes %lld before, %lld after %d cycles (%lld per cycle); handle rows %lld before, "
                "%lld after\n",
                static_cast<long long>(heapBefore), static_cast<long long>(heapAfter), measuredCycles,
                static_cast<long long>((heapAfter - heapBefore) / measuredCycles),
                static_cast<long long>(handlesBefore.count), static_cast<long long>(handlesAfter.count));
    EXPECT_EQ(failedCycles, 0) << "cycles in which loading, a call or unloading failed";
    EXPECT_LT(heapAfter - heapBefore, heapGrowthBound)
        << "heap busy bytes " << heapBefore << " before and " << heapAfter << " after " << measuredCycles << " cycles";
    ASSERT_TRUE(handlesBefore.taken && handlesAfter.taken)
        << "the system handle table cannot be read, error " << handlesBefore.error << " / " << handlesAfter.error;
    EXPECT_LE(handlesAfter.count, handlesBefore.count) << "this process's rows in the system handle table";
}

// --- the cases, and their start as the host ---

struct InHostCase {
    const char* name;
    void (*run)();
    bool afterAnotherHost = false;  // a stand-in Photoshop.exe with windows of its own is started first
};

const InHostCase inHostCases[] = {
    {"CallOnTheWindowThread", [] { callWhileTheWindowThread(WindowThread::calls); }},
    {"CallOnAWorkerWhileTheWindowThreadPumps", [] { callWhileTheWindowThread(WindowThread::pumps); }},
    {"CallOnAWorkerWhileTheWindowThreadWaitsForIt", [] { callWhileTheWindowThread(WindowThread::waits); }},
    {"CallWithNoProcessSnapshotToBeHad", [] { callWhileTheWindowThread(WindowThread::calls, true); }},
    {"LoadCallUnloadThreeHundredTimes", loadAndUnloadRepeatedly},
    {"CallInTheSecondOfTwoHosts", callInTheSecondOfTwoHosts, true},
};

class InHost : public testing::TestWithParam<InHostCase> {};

TEST_P(InHost, Passes) {
    if (testProgramNamed(hostExecutable)) {
        GetParam().run();
        return;
    }
    ASSERT_TRUE(processIdsNamed(hostExecutable).empty()) << "Photoshop.exe is already running";
    const TemporaryDirectory scratch;
    // A host killed at the timeout leaves its font to the session on Windows.
    const FontCleanup hostFontLeftOver(scratch.path() + L"\\" + hostFont.fileName);
    std::wstring host;
    try {
        host = scratch.copyIn(testProgramPath(), hostExecutable);
        scratch.copyIn(besideTestProgram(L"scriptfonts.dll"), L"scriptfonts.dll");
        scratch.copyIn(testFontPath(hostFont.fileName), hostFont.fileName);
    } catch (const std::exception& error) {
        FAIL() << "cannot fill the host's folder: " << error.what();
    }
    std::optional<StandInHost> other;
    if (GetParam().afterAnotherHost) {
        other.emplace(hostExecutable);
        ASSERT_TRUE(other->running());
    }
    const testing::TestInfo& self = *testing::UnitTest::GetInstance()->current_test_info();
    const std::string fullName = std::string(self.test_suite_name()) + "." + self.name();  // ASCII
    const std::wstring filter = L"--gtest_brief=1 --gtest_filter=" + std::wstring(fullName.begin(), fullName.end());
    const ProgramRun run = runToEnd(host, L"\"" + host + L"\" " + filter, scratch.path() + L"\\output.txt",
                                    hostRunTimeoutMs);
    ASSERT_TRUE(run.failure.empty()) << run.failure;
    if (run.exitStatus == 0) std::printf("%s", run.output.c_str());
    EXPECT_EQ(run.exitStatus, 0u) << "the case failed inside Photoshop.exe:\n" << run.output;
    if (other) {
        EXPECT_EQ(other->fontChanges(), FontChangeCounts{}) << "WM_FONTCHANGE per window of the other host";
    }
}

INSTANTIATE_TEST_SUITE_P(Cases, InHost, testing::ValuesIn(inHostCases),
                         [](const testing::TestParamInfo<InHostCase>& c) { return std::string(c.param.name); });

// The host installed where its own path runs past two doublings of a
// MAX_PATH buffer (Wine takes such paths, and so does Windows with long-path
// support): it still knows itself by name, without a process snapshot. Only
// the emulator starts it there (Wine's CreateProcessW cuts a program's path at
// MAX_PATH), so the test in_host_test.long-path does (long-host-path.cmake).
TEST(InHostAtALongPath, CallOnTheWindowThread) {
    if (!testProgramNamed(hostExecutable)) GTEST_SKIP() << "runs as Photoshop.exe, started by in_host_test.long-path";
    const std::wstring path = testProgramPath();
    ASSERT_GT(path.size(), 2u * MAX_PATH) << path.size() << " units: " << toUtf8(path);
    callWhileTheWindowThread(WindowThread::calls);
}

}  // namespace
}  // namespace scriptfonts::test
