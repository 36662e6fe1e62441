// registerFont where it nearly always runs: inside the host. The benchmark
// copies itself beside the DLL as Photoshop.exe and runs the copy with
// --in-host; the copy opens two top-level windows of its own on the calling
// thread (as a host that runs its scripts on its UI thread has them),
// measures, and prints its rows, which the benchmark puts in its table.
#include <windows.h>

#include <array>
#include <iostream>
#include <sstream>

#include "bare_calls.h"
#include "scenarios.h"
#include "support/copied_program.h"
#include "support/font_change_counter.h"
#include "support/test_files.h"

namespace scriptfonts::bench {
namespace {

// The addition dominates a call here, so the rounds are many and short.
constexpr Plan ownWindowsPlan{101, 5, 100};
constexpr Plan snapshotPlan{41, 2, 10};
constexpr int ownWindowCount = 2;
constexpr char rowStart[] = "| ";
constexpr DWORD copyTimeoutMs = 600000;

}  // namespace

void printInHostRows(const Context& context) {
    std::array<test::FontChangeCounter, ownWindowCount> windows;
    long registrations = 0;
    const struct {
        const char* measure;
        Plan plan;
        BareRegistration bare;
    } comparisons[] = {
        {"registerFont inside Photoshop.exe, 2 windows of its own", ownWindowsPlan,
         [](const std::wstring& path, const std::string&) {
             return bare::addFontAndTellHost(path, hostExecutable, bare::HostSearch::ownName);
         }},
        // B after the copy and decoding every call's frame makes: what the host step itself costs.
        {"registerFont inside Photoshop.exe (B: also copying and decoding the text)", ownWindowsPlan,
         [](const std::wstring&, const std::string& utf8) {
             std::wstring decoded;
             bare::decodeUtf8(std::string(utf8), decoded);
             return bare::addFontAndTellHost(decoded, hostExecutable, bare::HostSearch::ownName);
         }},
        {"registerFont inside Photoshop.exe (B: with the snapshot walk it no longer takes)", snapshotPlan,
         [](const std::wstring& path, const std::string&) {
             return bare::addFontAndTellHost(path, hostExecutable, bare::HostSearch::snapshot);
         }},
    };
    std::vector<std::string> rows;
    for (const auto& comparison : comparisons) {
        rows.push_back(registrationRow(context, comparison.measure, comparison.plan, registrations, comparison.bare));
    }
    for (int window = 0; window < ownWindowCount; ++window) {
        checkTold("own window " + std::to_string(window), windows[window].takeCount(), registrations);
    }
    for (const std::string& row : rows) std::cout << row << "\n";
    std::cout.flush();
}

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

}  // namespace scriptfonts::bench
