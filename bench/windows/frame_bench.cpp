// The frame alone. A malformed call (no argument) stops at the first check.
// The copy and decoding are timed through findFontByName with a name of 32
// UTF-16 units or more: after decoding, it is refused before any platform
// call, so the call is exactly the frame's copy and decoding (and its
// checks). Every other function would go on to a GDI call with the text,
// which under Wine walks the file system or the font table and would swamp
// what is measured here. A 4 KiB path shows the cost per byte, a 40-byte
// name the fixed cost every call pays.
#include "bare_calls.h"
#include "scenarios.h"

namespace scriptfonts::bench {
namespace {

constexpr Plan malformedPlan{21, 1, 1000000};
constexpr Plan decodePlan{21, 1, 20000};
constexpr Plan shortDecodePlan{21, 1, 200000};
constexpr std::size_t pathBytes = 4096;
constexpr std::size_t shortNameBytes = 40;

// 4 KiB of UTF-8, half of the bytes in non-ASCII characters (of two and three bytes).
std::string longPath() {
    const std::string ascii = "fonts-a\\";                            // 8 bytes
    const std::string nonAscii = "\xe5\xad\x97\xe4\xbd\x93\xc3\xbc";  // "字体ü", 8 bytes
    std::string path;
    while (path.size() < pathBytes) path += ascii + nonAscii;
    return path;
}

Comparison compareMalformed(const ScriptCall& registerFont, bool smoke) {
    const Plan plan = planFor(smoke, malformedPlan);
    const Arm library = [&] {
        const Stopwatch watch;
        std::int32_t unexpected = 0;
        for (int i = 0; i < plan.iterations; ++i) unexpected |= registerFont.status("", 0) ^ statusBadArguments;
        const double seconds = watch.seconds();
        if (unexpected != 0) throw BenchError("a call without arguments was not refused");
        return seconds;
    };
    return compare("frame: malformed call (registerFont, count 0)", plan.iterations, plan.rounds, plan.warmUpRounds,
                   library, nullptr);
}

Comparison compareDecoding(const ScriptCall& findFontByName, const std::string& path, const std::string& name,
                           Plan fullPlan, bool smoke) {
    const Plan plan = planFor(smoke, fullPlan);
    std::wstring buffer;
    const Arm library = [&] {
        const Stopwatch watch;
        for (int i = 0; i < plan.iterations; ++i) {
            if (findFontByName(path.c_str()) != 0) throw BenchError("findFontByName(" + name + ") found a face");
        }
        return watch.seconds();
    };
    const Arm bare = [&] {
        const Stopwatch watch;
        for (int i = 0; i < plan.iterations; ++i) {
            if (bare::decodeUtf8(path, buffer) <= 0) throw BenchError("MultiByteToWideChar failed");
        }
        return watch.seconds();
    };
    return compare("frame: " + name + " copied and decoded (B: MultiByteToWideChar x2)", plan.iterations, plan.rounds,
                   plan.warmUpRounds, library, bare);
}

}  // namespace

std::vector<Row> frameRows(const test::ScriptLibrary& library, bool smoke) {
    const ScriptCall registerFont(library, "registerFont");
    const ScriptCall findFontByName(library, "findFontByName");

    const Comparison malformed = compareMalformed(registerFont, smoke);
    Row malformedRow = comparisonRow(malformed, "call");
    malformedRow.library += " (" + formatRate(1 / malformed.aPerUnit()) + "calls/s)";

    const auto decodingRow = [&](const std::string& text, const std::string& name, Plan plan) {
        const Comparison decoding = compareDecoding(findFontByName, text, name, plan, smoke);
        Row row = comparisonRow(decoding, "call");
        const double bytes = static_cast<double>(text.size());
        row.library += " (" + formatRate(bytes / decoding.aPerUnit()) + "B/s)";
        row.bare += " (" + formatRate(bytes / decoding.bPerUnit()) + "B/s)";
        return row;
    };
    return {malformedRow, decodingRow(longPath(), "4 KiB path", decodePlan),
            decodingRow(std::string(shortNameBytes, 'n'), "40-byte name", shortDecodePlan)};
}

}  // namespace scriptfonts::bench
