#include <windows.h>

#include <cstdio>

#include "bare_calls.h"
#include "scenarios.h"
#include "support/font_cleanup.h"
#include "support/stand_in_host.h"
#include "support/test_files.h"

namespace scriptfonts::bench {
namespace {

constexpr Plan hostPlan{41, 2, 10};
constexpr wchar_t hostExecutable[] = L"Photoshop.exe";  // registerFont's host

}  // namespace

std::vector<Row> hostRegistrationRows(const test::ScriptLibrary& library, const BenchFonts& fonts, bool smoke) {
    const ScriptCall registerFont(library, "registerFont");
    fonts.require(2);
    const std::wstring path = fonts.path(1);
    const std::string utf8 = test::toUtf8(path);
    const test::FontCleanup cleanup(path);
    const Plan plan = planFor(smoke, hostPlan);

    const test::StandInHost host(hostExecutable);
    if (!host.running()) throw BenchError("the stand-in host did not start");
    long registrations = 0;  // each must reach both host windows

    // The font is withdrawn after every registration, outside the time.
    const auto withdraw = [&](const char* arm) {
        if (!RemoveFontResourceW(path.c_str())) throw BenchError(std::string(arm) + ": the font was not added");
        ++registrations;
    };
    const Arm libraryArm = [&] {
        double seconds = 0;
        for (int i = 0; i < plan.iterations; ++i) {
            const Stopwatch watch;
            const std::int32_t result = registerFont(utf8.c_str());
            seconds += watch.seconds();
            if (result != 1) throw BenchError("registerFont gave " + std::to_string(result));
            withdraw("registerFont");
        }
        return seconds;
    };
    const Arm bareArm = [&] {
        double seconds = 0;
        for (int i = 0; i < plan.iterations; ++i) {
            const Stopwatch watch;
            const bool added = bare::addFontAndTellHost(path, hostExecutable);
            seconds += watch.seconds();
            if (!added) throw BenchError("AddFontResourceW failed");
            withdraw("AddFontResourceW");
        }
        return seconds;
    };
    const Comparison comparison = compare("registerFont, stand-in host with 2 windows", plan.iterations, plan.rounds,
                                          plan.warmUpRounds, libraryArm, bareArm);

    // Every registration must have reached both windows. Under Wine another
    // process's font change is now and then announced to them as well (seen
    // once in many runs): the tests count exactly, the benchmark only notes it.
    const test::FontChangeCounts sent = host.sentFontChanges();
    for (int window = 0; window < test::stand_in::windowCount; ++window) {
        const std::string told = "host window " + std::to_string(window) + " was sent " +
                                 std::to_string(sent[window]) + " WM_FONTCHANGE for " +
                                 std::to_string(registrations) + " registrations";
        if (sent[window] < registrations) throw BenchError(told);
        if (sent[window] > registrations) std::fprintf(stderr, "note: %s\n", told.c_str());
    }
    return {comparisonRow(comparison, "call")};
}

}  // namespace scriptfonts::bench
