#include <windows.h>

#include "bare_calls.h"
#include "scenarios.h"
#include "support/font_cleanup.h"
#include "support/test_files.h"

namespace scriptfonts::bench {
namespace {

constexpr Plan lookupPlan{201, 5, 50};
constexpr wchar_t absentFace[] = L"ScriptFonts bench absent";

Comparison compareLookups(const ScriptCall& findFontByName, const std::wstring& face, bool present, bool smoke) {
    const std::string utf8 = test::toUtf8(face);
    const std::int32_t expected = present ? 1 : 0;
    const Plan plan = planFor(smoke, lookupPlan);

    const Arm library = [&] {
        const Stopwatch watch;
        for (int i = 0; i < plan.iterations; ++i) {
            if (findFontByName(utf8.c_str()) != expected) throw BenchError("findFontByName(" + utf8 + ") is wrong");
        }
        return watch.seconds();
    };
    const Arm bare = [&] {
        const Stopwatch watch;
        for (int i = 0; i < plan.iterations; ++i) {
            if (bare::faceInstalled(face) != present) throw BenchError("EnumFontFamiliesExW(" + utf8 + ") is wrong");
        }
        return watch.seconds();
    };
    return compare(std::string("findFontByName, face ") + (present ? "present" : "absent"), plan.iterations,
                   plan.rounds, plan.warmUpRounds, library, bare);
}

}  // namespace

std::vector<Row> faceLookupRows(const test::ScriptLibrary& library, const BenchFonts& fonts, bool smoke) {
    const ScriptCall findFontByName(library, "findFontByName");
    fonts.require(1);
    const std::wstring path = fonts.path(0);
    const test::FontCleanup cleanup(path);
    if (AddFontResourceW(path.c_str()) == 0) throw BenchError("AddFontResourceW(" + test::toUtf8(path) + ") failed");

    return {comparisonRow(compareLookups(findFontByName, BenchFonts::face(0), true, smoke), "call"),
            comparisonRow(compareLookups(findFontByName, absentFace, false, smoke), "call")};
}

}  // namespace scriptfonts::bench
