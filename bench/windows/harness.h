// The benchmark's one timing harness and its report. A row compares arm A (a
// script function through scriptfonts.dll) with arm B (the same Win32 calls
// made directly), interleaved: both arms run in every round, taking turns at
// going first, so that drift in the machine's speed (other processes, caches,
// Wine's server) falls on both alike. What counts is the median over rounds.
#pragma once

#include <functional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <vector>

namespace scriptfonts::bench {

// A check failed: the benchmark would measure something other than it says.
using BenchError = std::runtime_error;

struct Plan {
    int rounds;
    int warmUpRounds;  // untimed, before the rounds
    int iterations;    // calls per arm and round
};

// One row of the table.
struct Measure {
    std::string name;
    Plan plan;  // of a full run; a smoke run makes every call once, which shows the benchmark works, not how fast
    // Run after every call of either arm, untimed (withdrawing what it added): each call is then timed alone.
    std::function<void()> between = {};
    const char* unit = "call";  // what the times are per
    int unitsPerCall = 1;       // a list's fonts
    double ratePerUnit = 0;     // when set, each time also shows as a rate of this many rateUnit per unit
    const char* rateUnit = "";
};

// Seconds by the steady clock (the performance counter).
double now();

// One arm's work in one round: the seconds spent in its timed part.
using Arm = std::function<double()>;

// Runs the rounds (an empty b times A alone) and returns the row as a line of the table.
std::string compare(const Measure& measure, const Plan& plan, const Arm& a, const Arm& b);

// An arm of `iterations` calls, each checked: a call returning false did not do what the row measures, which
// stops the run. The calls are timed all together, or one by one when something runs between them. A template,
// so that the call is inlined into the timed loop (the cheapest calls take 2 to 4 ns).
template <typename Call>
Arm arm(const Measure& measure, const Plan& plan, const char* which, Call call) {
    const std::string failure = measure.name + ": " + which + " did not do what this row measures";
    return [failure, between = measure.between, iterations = plan.iterations, call] {
        const int timedTogether = between ? 1 : iterations;
        double seconds = 0;
        for (int done = 0; done < iterations; done += timedTogether) {
            const double start = now();
            bool allDid = true;
            for (int i = 0; i < timedTogether; ++i) allDid &= call();
            seconds += now() - start;
            if (!allDid) throw BenchError(failure);
            if (between) between();
        }
        return seconds;
    };
}

// A row's line: a and b return whether a call did what it claims; b is nullptr for a row of A alone.
template <typename A, typename B>
std::string measureRow(const Measure& measure, bool smoke, A a, B b) {
    const Plan plan = smoke ? Plan{1, 0, 1} : measure.plan;
    Arm bArm;
    if constexpr (!std::is_null_pointer_v<B>) bArm = arm(measure, plan, "B (the bare calls)", b);
    return compare(measure, plan, arm(measure, plan, "A (scriptfonts.dll)", a), bArm);
}

// Throws when a window was sent fewer WM_FONTCHANGE than there were registrations. More are only noted: under
// Wine another process's font change now and then reaches it as well (seen once in many runs); the tests count
// exactly.
void checkTold(const std::string& window, long sent, long registrations);

// The table in Markdown, as docs/performance.md holds it; without its header, rows for another table.
void printTable(std::ostream& out, const std::vector<std::string>& rows, bool header = true);

}  // namespace scriptfonts::bench
