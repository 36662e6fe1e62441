// All five script functions called from many threads at once, each thread
// with font files and faces of its own and malformed calls mixed in: every
// call must give what the same script gives on a single thread, and the whole
// run must end within a bound.
#include <gtest/gtest.h>

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <future>
#include <iterator>
#include <list>
#include <string>
#include <vector>

#include "reliability/script_calls.h"
#include "support/font_cleanup.h"
#include "support/process_snapshot.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

using Clock = std::chrono::steady_clock;

constexpr int threadCount = 8;
constexpr int cyclesPerThread = 40;
// A healthy run takes seconds; the bound only turns a deadlock into a failure.
constexpr std::chrono::seconds runBound{120};
constexpr int mismatchesShown = 10;

// Each cycle leaves the thread's fonts withdrawn, as it found them. Between
// the steps no other thread touches this thread's files or faces, so every
// result is fixed. The broadcasts of other threads' calls reach every window
// and say nothing about this thread: they are not counted here.
const Step cycle[] = {
    {Function::findFontByName, Shape::wellFormed, Text::faceA, wrote(0)},
    {Function::registerFont, Shape::wellFormed, Text::fontA, wrote(1)},
    {Function::registerFont, Shape::noArgument, Text::fontA, refused()},
    {Function::findFontByName, Shape::wellFormed, Text::faceA, wrote(1)},
    {Function::registerFontA, Shape::wellFormed, Text::fontB, wrote(1)},
    {Function::registerFontA, Shape::integerTag, Text::fontB, refused()},
    {Function::registerFonts, Shape::wellFormed, Text::list, wrote(1)},  // each font now added twice
    {Function::registerFonts, Shape::nullText, Text::list, refused()},
    {Function::findFontByName, Shape::wellFormed, Text::faceB, wrote(1)},
    {Function::unRegisterFont, Shape::wellFormed, Text::fontA, wrote(0)},
    {Function::findFontByName, Shape::wellFormed, Text::faceA, wrote(1)},  // one addition is left
    {Function::unRegisterFont, Shape::wellFormed, Text::fontA, wrote(0)},
    {Function::unRegisterFont, Shape::integerTag, Text::fontB, refused()},
    {Function::unRegisterFont, Shape::wellFormed, Text::fontB, wrote(0)},
    {Function::unRegisterFont, Shape::wellFormed, Text::fontB, wrote(0)},
    {Function::findFontByName, Shape::wellFormed, Text::faceA, wrote(0)},
    {Function::findFontByName, Shape::wellFormed, Text::faceB, wrote(0)},
    {Function::findFontByName, Shape::nullText, Text::faceB, refused()},
    {Function::registerFont, Shape::wellFormed, Text::missingFile, wrote(0)},
    {Function::unRegisterFont, Shape::wellFormed, Text::missingFile, wrote(0)},
};
constexpr int stepsPerCycle = static_cast<int>(std::size(cycle));

struct Worker {
    std::wstring fontA, fontB, faceA, faceB;
    Texts texts;
    std::vector<Outcome> singleThreaded;  // one cycle, run alone
    std::vector<Outcome> outcomes;        // every cycle, run beside the other threads
    std::atomic<int> callsMade{0};
};

void setUp(Worker& worker, int thread) {
    const std::wstring number = std::to_wstring(thread);
    worker.fontA = testFontPath(L"threads\\thread-" + number + L"-a.ttf");
    worker.fontB = testFontPath(L"threads\\thread-" + number + L"-b.ttf");
    worker.faceA = L"ScriptFonts Thread " + number + L" A";
    worker.faceB = L"ScriptFonts Thread " + number + L" B";
    worker.texts = textsFor(worker.fontA, worker.fontB, worker.faceA, worker.faceB);
    worker.singleThreaded.resize(stepsPerCycle);
    worker.outcomes.resize(static_cast<std::size_t>(stepsPerCycle) * cyclesPerThread);
}

void runCycles(const ScriptFunctions& functions, Worker& worker, Outcome* outcomes, int cycles) noexcept {
    for (int call = 0; call < cycles * stepsPerCycle; ++call) {
        outcomes[call] = run(functions, cycle[call % stepsPerCycle], worker.texts);
        worker.callsMade.store(call + 1);
    }
}

// The threads still running hold references into the test's frame, so nothing
// can be unwound: report where each one is and leave the process.
[[noreturn]] void abandonStuckRun(const char* run, const std::array<Worker, threadCount>& workers, int callsEach) {
    std::string where;
    for (int thread = 0; thread < threadCount; ++thread) {
        const int made = workers[thread].callsMade.load();
        where += "\n  thread " + std::to_string(thread) + ": " + std::to_string(made) + " of " +
                 std::to_string(callsEach) + " calls made";
        if (made < callsEach) where += ", stuck in " + describe(cycle[made % stepsPerCycle]);
    }
    ADD_FAILURE() << run << " did not finish within " << runBound.count() << " s:" << where;
    std::fflush(stdout);
    std::fflush(stderr);
    std::_Exit(EXIT_FAILURE);
}

void waitWithin(std::vector<std::future<void>>& tasks, const char* run, const std::array<Worker, threadCount>& workers,
                int callsEach) {
    const Clock::time_point deadline = Clock::now() + runBound;
    for (std::future<void>& task : tasks) {
        if (task.wait_until(deadline) != std::future_status::ready) abandonStuckRun(run, workers, callsEach);
        task.get();
    }
}

TEST(Concurrency, EveryThreadGetsTheResultsOfASingleThreadedRun) {
    for (const wchar_t* host : {L"Photoshop.exe", L"Illustrator.exe"}) {
        ASSERT_TRUE(processIdsNamed(host).empty()) << toUtf8(host) << " is already running";
    }
    const ScriptLibrary library;
    const ScriptFunctions functions(library);
    ASSERT_TRUE(functions.complete());
    std::array<Worker, threadCount> workers;
    std::list<FontCleanup> cleanups;  // not movable, so not a vector
    for (int thread = 0; thread < threadCount; ++thread) {
        Worker& worker = workers[thread];
        setUp(worker, thread);
        for (const std::wstring* font : {&worker.fontA, &worker.fontB}) cleanups.emplace_back(*font);
        for (const std::wstring* face : {&worker.faceA, &worker.faceB}) {
            ASSERT_FALSE(faceInstalled(*face)) << toUtf8(*face) << " installed before the run";
        }
    }

    // Each thread's script once, on one thread: the results the threaded run must give.
    std::vector<std::future<void>> tasks;
    tasks.push_back(std::async(std::launch::async, [&] {
        for (Worker& worker : workers) runCycles(functions, worker, worker.singleThreaded.data(), 1);
    }));
    waitWithin(tasks, "the single-threaded run", workers, stepsPerCycle);
    for (int thread = 0; thread < threadCount; ++thread) {
        for (int step = 0; step < stepsPerCycle; ++step) {
            EXPECT_EQ(workers[thread].singleThreaded[step], cycle[step].expected)
                << "single-threaded, thread " << thread << "'s fonts, step " << step << ": " << describe(cycle[step]);
        }
        workers[thread].callsMade.store(0);
    }

    // All threads released at once.
    std::promise<void> start;
    const std::shared_future<void> started = start.get_future().share();
    tasks.clear();
    for (Worker& worker : workers) {
        tasks.push_back(std::async(std::launch::async, [&functions, &worker, started] {
            started.wait();
            runCycles(functions, worker, worker.outcomes.data(), cyclesPerThread);
        }));
    }
    const Clock::time_point begin = Clock::now();
    start.set_value();
    waitWithin(tasks, "the threaded run", workers, stepsPerCycle * cyclesPerThread);
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - begin);
    std::printf("%d threads x %d calls in %lld ms\n", threadCount, stepsPerCycle * cyclesPerThread,
                static_cast<long long>(elapsed.count()));

    int mismatches = 0;
    for (int thread = 0; thread < threadCount; ++thread) {
        const Worker& worker = workers[thread];
        for (std::size_t call = 0; call < worker.outcomes.size(); ++call) {
            const int step = static_cast<int>(call % stepsPerCycle);
            if (worker.outcomes[call] == worker.singleThreaded[step]) continue;
            if (++mismatches > mismatchesShown) continue;
            ADD_FAILURE() << "thread " << thread << ", cycle " << call / stepsPerCycle << ", step " << step << ": "
                          << describe(cycle[step]) << "\n  threaded:        " << worker.outcomes[call]
                          << "\n  single-threaded: " << worker.singleThreaded[step];
        }
    }
    EXPECT_EQ(mismatches, 0) << "calls whose result differs from the single-threaded run (first " << mismatchesShown
                             << " shown)";
    // Every cycle withdrew what it added.
    for (const Worker& worker : workers) {
        for (const std::wstring* face : {&worker.faceA, &worker.faceB}) {
            EXPECT_FALSE(faceInstalled(*face)) << toUtf8(*face) << " installed after the run";
        }
    }
}

}  // namespace
}  // namespace scriptfonts::test
