#include <windows.h>

#include <deque>

#include "bare_calls.h"
#include "scenarios.h"
#include "support/font_cleanup.h"
#include "support/test_files.h"

namespace scriptfonts::bench {
namespace {

// Rounds for a list of `count` fonts: about the same time for every size.
Plan fullPlan(int count) {
    if (count <= 20) return {101, 3, 1};
    if (count <= 200) return {31, 2, 1};
    return {15, 1, 1};
}

// Withdraws every path, untimed, and says how many were there.
int removeAll(const std::vector<std::wstring>& paths) {
    int removed = 0;
    for (const std::wstring& path : paths) {
        if (RemoveFontResourceW(path.c_str())) ++removed;
    }
    return removed;
}

void expectAll(const char* arm, const char* what, int done, int count) {
    if (done != count) {
        throw BenchError(std::string(arm) + ": " + what + " " + std::to_string(done) + " of " + std::to_string(count) +
                         " fonts");
    }
}

Comparison compareLists(const ScriptCall& registerFonts, const BenchFonts& fonts, int count, bool smoke) {
    std::vector<std::wstring> paths;
    std::string list;
    // Added fonts outlive the process on Windows: a run stopped by an error
    // still withdraws them.
    std::deque<test::FontCleanup> cleanups;
    for (int index = 0; index < count; ++index) {
        paths.push_back(fonts.path(index));
        cleanups.emplace_back(paths.back());
        if (index > 0) list += ',';
        list += test::toUtf8(paths.back());
    }

    const Arm library = [&] {
        const Stopwatch watch;
        const std::int32_t result = registerFonts(list.c_str());
        const double seconds = watch.seconds();
        if (result != 1) throw BenchError("registerFonts gave " + std::to_string(result));
        expectAll("registerFonts", "removed", removeAll(paths), count);
        return seconds;
    };
    const Arm bare = [&] {
        const Stopwatch watch;
        const int added = bare::addFontsAndBroadcast(paths);
        const double seconds = watch.seconds();
        expectAll("AddFontResourceW", "added", added, count);
        expectAll("AddFontResourceW", "removed", removeAll(paths), count);
        return seconds;
    };
    const Plan plan = planFor(smoke, fullPlan(count));
    return compare("registerFonts, list of " + std::to_string(count) + " fonts", count, plan.rounds, plan.warmUpRounds,
                   library, bare);
}

}  // namespace

std::vector<Row> fontListRows(const test::ScriptLibrary& library, const BenchFonts& fonts,
                              const std::vector<int>& counts, bool smoke) {
    const ScriptCall registerFonts(library, "registerFonts");
    std::vector<Row> rows;
    for (const int count : counts) {
        fonts.require(count);
        rows.push_back(comparisonRow(compareLists(registerFonts, fonts, count, smoke), "font"));
    }
    return rows;
}

}  // namespace scriptfonts::bench
