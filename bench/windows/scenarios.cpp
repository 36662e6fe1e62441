#include "scenarios.h"

#include <windows.h>

#include <array>
#include <cstdint>
#include <cwchar>
#include <deque>
#include <iostream>
#include <sstream>
#include <utility>

#include "bare_calls.h"
#include "scriptfonts.h"
#include "support/copied_program.h"
#include "support/font_change_counter.h"
#include "support/font_cleanup.h"
#include "support/stand_in_host.h"
#include "support/test_files.h"

namespace scriptfonts::bench {
namespace {

using bare::HostSearch;

constexpr wchar_t hostExecutable[] = L"Photoshop.exe";  // registerFont's host
constexpr wchar_t firstFace[] = L"ScriptFonts bench 0000";
// Inside the host the addition dominates a call, so the rounds are many and short.
constexpr Plan ownWindowsPlan{101, 5, 100};
constexpr Plan snapshotPlan{41, 2, 10};
constexpr int ownWindowCount = 2;
constexpr int fontsOfOneCall = 2;  // the lookups use the first bench font, registerFont the second
constexpr char rowStart[] = "| ";
constexpr DWORD copyTimeoutMs = 600000;
constexpr std::size_t pathBytes = 4096;
constexpr std::size_t shortNameBytes = 40;

// After a registration, untimed: it must have added the font.
void withdrawFont(const std::wstring& path) {
    if (!RemoveFontResourceW(path.c_str())) throw BenchError(test::toUtf8(path) + " was not added");
}

// 4 KiB of UTF-8, half of the bytes in non-ASCII characters (of two and three bytes).
std::string longPath() {
    std::string path;
    while (path.size() < pathBytes) path += "fonts-a\\\xe5\xad\x97\xe4\xbd\x93\xc3\xbc";  // "fonts-a\字体ü"
    return path;
}

// The numbered bench fonts: each file holds one face of its own (firstFace in bench-0000.ttf).
std::wstring fontPath(const Context& context, int index) {
    wchar_t name[32];
    std::swprintf(name, 32, L"\\bench-%04d.ttf", index);
    return context.fontDirectory + name;
}

// A call as the engine makes it: true when it succeeded with the result `expected`.
bool returns(ScriptFunction function, const std::string& utf8, std::int32_t expected) {
    TaggedValue result;
    return run::callWithString(function, utf8, result) == statusOk && result.value.integer == expected;
}

// Throws unless the first `count` bench fonts are there (scripts/make-fonts.py makes them in order).
void requireFonts(const Context& context, int count) {
    const std::wstring last = fontPath(context, count - 1);
    if (GetFileAttributesW(last.c_str()) == INVALID_FILE_ATTRIBUTES) {
        throw BenchError("missing " + test::toUtf8(last) + ": make the fonts with scripts/make-fonts.py --count " +
                         std::to_string(count) + " --prefix bench --out-dir DIR (scripts/bench does)");
    }
}

// A row of registerFont against the bare calls, which find the host by
// `search`; with decodeFirst, after the copy and decoding every call's frame
// makes, so that what remains is the host step itself.
struct Registration {
    const char* measure;
    Plan plan;
    HostSearch search;
    bool decodeFirst;
};

// Every call of either arm adds bench font 1, which is then withdrawn,
// untimed, and counted in `registrations`: the host's windows must have been
// told of each.
std::string registrationRow(const Context& context, const Registration& registration, long& registrations) {
    const ScriptFunction registerFont = context.library->function("registerFont");
    const std::wstring path = fontPath(context, 1);
    const std::string utf8 = test::toUtf8(path);
    const test::FontCleanup cleanup(path);
    const auto withdraw = [&] {
        withdrawFont(path);
        ++registrations;
    };
    const auto bareCalls = [&] {
        if (!registration.decodeFirst) return bare::addFontAndTellHost(path, hostExecutable, registration.search);
        std::wstring decoded;
        bare::decodeUtf8(std::string(utf8), decoded);
        return bare::addFontAndTellHost(decoded, hostExecutable, registration.search);
    };
    return measureRow({registration.measure, registration.plan, withdraw}, context.smoke,
                      [&] { return returns(registerFont, utf8, 1); }, bareCalls);
}

// The frame alone. A malformed call (no argument) stops at the first check.
// The copy and decoding are timed through findFontByName with a name of 32
// UTF-16 units or more: after decoding, it is refused before any platform
// call, so the call is exactly the frame's copy and decoding (and its
// checks). Every other function would go on to a GDI call with the text,
// which under Wine walks the file system or the font table and would swamp
// what is measured here. A 4 KiB path shows the cost per byte, a 40-byte
// name the fixed cost every call pays.
std::vector<std::string> frameRows(const Context& context) {
    const ScriptFunction registerFont = context.library->function("registerFont");
    const ScriptFunction findFontByName = context.library->function("findFontByName");
    const Measure malformed{"frame: malformed call (registerFont, count 0)", {21, 1, 1000000}, {}, "call", 1, 1,
                            "calls/s"};
    const auto refused = [&] {
        TaggedValue result{};
        return registerFont(nullptr, 0, &result) == statusBadArguments;
    };
    const auto decoded = [&](const std::string& name, const std::string& utf8, const Plan& plan) {
        std::wstring buffer;
        const Measure measure{"frame: " + name + " copied and decoded (B: MultiByteToWideChar x2)", plan, {}, "call",
                              1, static_cast<double>(utf8.size()), "B/s"};
        return measureRow(measure, context.smoke, [&] { return returns(findFontByName, utf8, 0); },
                          [&] { return bare::decodeUtf8(utf8, buffer) > 0; });
    };
    return {measureRow(malformed, context.smoke, refused, nullptr), decoded("4 KiB path", longPath(), {21, 1, 20000}),
            decoded("40-byte name", std::string(shortNameBytes, 'n'), {21, 1, 200000})};
}

// findFontByName for a face that is there (a bench font added for the
// purpose) and one that is not, against the bare enumeration.
std::vector<std::string> faceLookupRows(const Context& context) {
    const ScriptFunction findFontByName = context.library->function("findFontByName");
    const std::wstring path = fontPath(context, 0);
    const test::FontCleanup cleanup(path);
    if (AddFontResourceW(path.c_str()) == 0) throw BenchError("AddFontResourceW(" + test::toUtf8(path) + ") failed");
    std::vector<std::string> rows;
    for (const bool present : {true, false}) {
        const std::wstring face = present ? firstFace : L"ScriptFonts bench absent";
        const std::string utf8 = test::toUtf8(face);
        const Measure measure{std::string("findFontByName, face ") + (present ? "present" : "absent"), {201, 5, 50}};
        const auto found = [&] { return returns(findFontByName, utf8, present); };
        rows.push_back(measureRow(measure, context.smoke, found, [&] { return bare::faceInstalled(face) == present; }));
    }
    return rows;
}

// registerFont with a stand-in Photoshop.exe holding two windows, against the
// bare addition, process walk and sends.
std::vector<std::string> standInHostRows(const Context& context) {
    const test::StandInHost host(hostExecutable);
    if (!host.running()) throw BenchError("the stand-in host did not start");
    long registrations = 0;
    const std::string row = registrationRow(
        context, {"registerFont, stand-in host with 2 windows", {41, 2, 10}, HostSearch::snapshot, false},
        registrations);
    const test::FontChangeCounts sent = host.sentFontChanges();
    for (int window = 0; window < test::stand_in::windowCount; ++window) {
        checkTold("host window " + std::to_string(window), sent[window], registrations);
    }
    return {row};
}

// registerFonts with a list of N fonts, for each N, against AddFontResourceW
// for each and one broadcast. Every font is withdrawn after each call, untimed.
std::vector<std::string> fontListRows(const Context& context) {
    const ScriptFunction registerFonts = context.library->function("registerFonts");
    std::vector<std::string> rows;
    for (const int count : context.listSizes) {
        requireFonts(context, count);
        std::vector<std::wstring> paths;
        std::string list;
        // Added fonts outlive the process on Windows: a run stopped by an error still withdraws them.
        std::deque<test::FontCleanup> cleanups;
        for (int index = 0; index < count; ++index) {
            paths.push_back(fontPath(context, index));
            cleanups.emplace_back(paths.back());
            list += (index > 0 ? "," : "") + test::toUtf8(paths.back());
        }
        const auto withdrawAll = [&] {
            for (const std::wstring& path : paths) withdrawFont(path);
        };
        // About the same time for every size.
        const Plan plan = count <= 20 ? Plan{101, 3, 1} : count <= 200 ? Plan{31, 2, 1} : Plan{15, 1, 1};
        const Measure measure{"registerFonts, list of " + std::to_string(count) + " fonts", plan, withdrawAll, "font",
                              count};
        rows.push_back(measureRow(measure, context.smoke, [&] { return returns(registerFonts, list, 1); },
                                  [&] { return bare::addFontsAndBroadcast(paths) == count; }));
    }
    return rows;
}

// registerFont where it nearly always runs: inside the host. The benchmark
// copies itself beside the DLL as Photoshop.exe and runs the copy with
// --in-host; the copy opens two top-level windows of its own on the calling
// thread (as a host that runs its scripts on its UI thread has them),
// measures, and prints its rows, which the benchmark puts in its table.
std::vector<std::string> inHostRows(const Context& context) {
    const test::TemporaryDirectory scratch;
    const std::wstring host = scratch.copyIn(test::testProgramPath(), hostExecutable);
    scratch.copyIn(test::besideTestProgram(L"scriptfonts.dll"), L"scriptfonts.dll");
    const std::wstring commandLine = L"\"" + host + L"\" --in-host --fonts \"" + context.fontDirectory + L"\"" +
                                     (context.smoke ? L" --smoke" : L"");
    const test::ProgramRun run = test::runToEnd(host, commandLine, scratch.path() + L"\\output.txt", copyTimeoutMs);
    if (!run.failure.empty()) throw BenchError(run.failure);
    // The copy's rows; its other lines (progress, notes, errors) go on to standard error.
    std::vector<std::string> rows;
    std::istringstream lines(run.output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.rfind(rowStart, 0) == 0) {
            rows.push_back(line);
        } else {
            std::cerr << line << "\n";
        }
    }
    if (run.exitStatus != 0 || rows.empty()) {
        throw BenchError("the copy running as Photoshop.exe failed (exit status " + std::to_string(run.exitStatus) +
                         "; its output is above)");
    }
    return rows;
}

}  // namespace

std::vector<std::string> measureRows(const Context& context) {
    requireFonts(context, fontsOfOneCall);
    const std::pair<const char*, std::vector<std::string> (*)(const Context&)> groups[] = {
        {"the frame", frameRows},
        {"face lookups", faceLookupRows},
        {"host registration", standInHostRows},
        {"registration inside the host", inHostRows},
        {"font lists", fontListRows},
    };
    std::vector<std::string> rows;
    for (const auto& [what, measure] : groups) {
        std::cerr << "measuring " << what << "...\n";
        for (std::string& row : measure(context)) rows.push_back(std::move(row));
    }
    return rows;
}

std::vector<std::string> measureInHostRows(const Context& context) {
    std::array<test::FontChangeCounter, ownWindowCount> windows;
    long registrations = 0;
    const Registration comparisons[] = {
        {"registerFont inside Photoshop.exe, 2 windows of its own", ownWindowsPlan, HostSearch::ownName, false},
        {"registerFont inside Photoshop.exe (B: also copying and decoding the text)", ownWindowsPlan,
         HostSearch::ownName, true},
        {"registerFont inside Photoshop.exe (B: with the snapshot walk it no longer takes)", snapshotPlan,
         HostSearch::snapshot, false},
    };
    std::vector<std::string> rows;
    for (const Registration& comparison : comparisons) {
        rows.push_back(registrationRow(context, comparison, registrations));
    }
    for (int window = 0; window < ownWindowCount; ++window) {
        checkTold("own window " + std::to_string(window), windows[window].takeCount(), registrations);
    }
    return rows;
}

}  // namespace scriptfonts::bench
