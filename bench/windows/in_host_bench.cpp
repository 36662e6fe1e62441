// registerFont where it nearly always runs: inside the host. The benchmark
// copies itself beside the DLL as Photoshop.exe and runs the copy with
// --in-host; the copy opens two top-level windows of its own on the calling
// thread (as a host that runs its scripts on its UI thread has them),
// measures, and prints its rows as tab-separated lines, which the benchmark
// reads back into its table.
#include <windows.h>

#include <array>
#include <cstdio>
#include <iostream>
#include <sstream>

#include "bare_calls.h"
#include "scenarios.h"
#include "support/copied_program.h"
#include "support/font_cleanup.h"
#include "support/test_files.h"
#include "support/win32_owners.h"

namespace scriptfonts::bench {
namespace {

// The addition dominates a call here, so the rounds are many and short.
constexpr Plan ownWindowsPlan{101, 5, 100};
constexpr Plan snapshotPlan{41, 2, 10};
constexpr wchar_t hostExecutable[] = L"Photoshop.exe";  // registerFont's host
constexpr int ownWindowCount = 2;
constexpr wchar_t windowClassName[] = L"ScriptFontsBenchHostWindow";
constexpr char rowPrefix[] = "row";
constexpr char fieldSeparator = '\t';
constexpr DWORD copyTimeoutMs = 600000;

std::array<long, ownWindowCount> fontChanges{};  // WM_FONTCHANGE handled per window

LRESULT CALLBACK countingProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_FONTCHANGE) return DefWindowProcW(window, message, wParam, lParam);
    ++fontChanges[static_cast<std::size_t>(GetWindowLongPtrW(window, GWLP_USERDATA))];
    return 0;
}

// This thread's top-level windows, counting what they are sent.
class OwnWindows {
public:
    OwnWindows() {
        WNDCLASSW windowClass{};
        windowClass.lpfnWndProc = countingProcedure;
        windowClass.hInstance = GetModuleHandleW(nullptr);
        windowClass.lpszClassName = windowClassName;
        RegisterClassW(&windowClass);
        for (int i = 0; i < ownWindowCount; ++i) {
            windows_[i].reset(CreateWindowExW(0, windowClassName, L"bench host window", WS_OVERLAPPEDWINDOW, 0, 0,
                                              200, 100, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr));
            if (!windows_[i]) throw BenchError("CreateWindowExW failed, error " + std::to_string(GetLastError()));
            SetWindowLongPtrW(windows_[i].get(), GWLP_USERDATA, i);
        }
    }

private:
    std::array<test::UniqueWindow, ownWindowCount> windows_;
};

std::string rowLine(const Row& row) {
    std::string line = rowPrefix;
    for (const std::string* field : {&row.measure, &row.library, &row.bare, &row.ratio, &row.spread, &row.samples}) {
        line += fieldSeparator + *field;
    }
    return line;
}

// The rows among the copy's output; its other lines (progress, notes) go on to standard error.
std::vector<Row> rowsIn(const std::string& output) {
    std::vector<Row> rows;
    std::istringstream lines(output);
    for (std::string line; std::getline(lines, line);) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        std::istringstream fields(line);
        std::string prefix;
        Row row;
        std::getline(fields, prefix, fieldSeparator);
        if (prefix != rowPrefix) {
            std::cerr << line << "\n";
            continue;
        }
        for (std::string* field : {&row.measure, &row.library, &row.bare, &row.ratio, &row.spread, &row.samples}) {
            std::getline(fields, *field, fieldSeparator);
        }
        rows.push_back(row);
    }
    return rows;
}

}  // namespace

void printInHostRows(const test::ScriptLibrary& library, const BenchFonts& fonts, bool smoke) {
    const ScriptCall registerFont(library, "registerFont");
    fonts.require(2);
    const std::wstring path = fonts.path(1);
    const std::string utf8 = test::toUtf8(path);
    const test::FontCleanup cleanup(path);
    const OwnWindows windows;
    long registrations = 0;  // each must reach both windows

    // Every call of every arm is timed alone; the font is withdrawn after it, untimed.
    const auto arm = [&](const char* name, const Plan& plan, auto call) -> Arm {
        return [&, name, plan, call] {
            double seconds = 0;
            for (int i = 0; i < plan.iterations; ++i) {
                const Stopwatch watch;
                const bool added = call();
                seconds += watch.seconds();
                if (!added || !RemoveFontResourceW(path.c_str())) {
                    throw BenchError(std::string(name) + " added nothing");
                }
                ++registrations;
            }
            return seconds;
        };
    };
    const auto againstLibrary = [&](const char* measure, const Plan& full, auto bareCall) {
        const Plan plan = planFor(smoke, full);
        const auto throughLibrary = [&] { return registerFont(utf8.c_str()) == 1; };
        return compare(measure, plan.iterations, plan.rounds, plan.warmUpRounds,
                       arm("registerFont", plan, throughLibrary), arm("the bare calls", plan, bareCall));
    };
    const Comparison direct = againstLibrary("registerFont inside Photoshop.exe, 2 windows of its own", ownWindowsPlan,
                                             [&] { return bare::addFontAndTellOwnWindows(path, hostExecutable); });
    // B after the copy and decoding every call's frame makes: what the host step itself costs.
    const auto decodedFirst = [&] {
        std::wstring decoded;
        bare::decodeUtf8(std::string(utf8), decoded);
        return bare::addFontAndTellOwnWindows(decoded, hostExecutable);
    };
    const Comparison step = againstLibrary("registerFont inside Photoshop.exe (B: also copying and decoding the text)",
                                           ownWindowsPlan, decodedFirst);
    const Comparison saved =
        againstLibrary("registerFont inside Photoshop.exe (B: with the snapshot walk it no longer takes)", snapshotPlan,
                       [&] { return bare::addFontAndTellHost(path, hostExecutable); });

    for (int window = 0; window < ownWindowCount; ++window) {
        const std::string told = "own window " + std::to_string(window) + " was sent " +
                                 std::to_string(fontChanges[window]) + " WM_FONTCHANGE for " +
                                 std::to_string(registrations) + " registrations";
        if (fontChanges[window] < registrations) throw BenchError(told);
        if (fontChanges[window] > registrations) std::fprintf(stderr, "note: %s\n", told.c_str());
    }
    for (const Comparison* comparison : {&direct, &step, &saved}) {
        std::cout << rowLine(comparisonRow(*comparison, "call")) << "\n";
    }
    std::cout.flush();
}

std::vector<Row> inHostRegistrationRows(const BenchFonts& fonts, bool smoke) {
    const test::TemporaryDirectory scratch;
    const std::wstring host = scratch.copyIn(test::testProgramPath(), hostExecutable);
    scratch.copyIn(test::besideTestProgram(L"scriptfonts.dll"), L"scriptfonts.dll");
    const std::wstring commandLine =
        L"\"" + host + L"\" --in-host --fonts \"" + fonts.directory() + L"\"" + (smoke ? L" --smoke" : L"");
    const test::ProgramRun run = test::runToEnd(host, commandLine, scratch.path() + L"\\output.txt", copyTimeoutMs);
    if (!run.failure.empty()) throw BenchError(run.failure);
    std::vector<Row> rows = rowsIn(run.output);
    if (run.exitStatus != 0 || rows.empty()) {
        throw BenchError("the copy running as Photoshop.exe failed (exit status " + std::to_string(run.exitStatus) +
                         "):\n" + run.output);
    }
    return rows;
}

}  // namespace scriptfonts::bench
