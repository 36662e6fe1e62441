// The frame's copy, list splitting and decoding over the stand-in platform,
// through the exported functions, at 10 KiB, 100 KiB and 1 MiB: bytes per
// second that stay level as the text grows show that nothing in the frame is
// quadratic. The stand-in's own decoding stands for MultiByteToWideChar.
// Takes Google Benchmark's flags; prints as TableReporter says.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <iostream>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fake_platform.h"
#include "scriptfonts.h"

namespace {

using namespace scriptfonts;

constexpr std::int64_t kib = 1024;
const std::vector<std::int64_t> textSizes{10 * kib, 100 * kib, 1024 * kib};

// piece(0), piece(1), ... while the next fits, then 'x' up to the exact size.
template <typename Piece>
std::string filled(std::size_t bytes, Piece piece) {
    std::string text;
    for (int index = 0; text.size() + piece(index).size() <= bytes; ++index) text += piece(index);
    return text.append(bytes - text.size(), 'x');
}

// Paths as a panel passes them: a folder with non-ASCII characters (two and
// three bytes each) and a numbered file, joined by commas.
std::string listOfPaths(std::size_t bytes) {
    return filled(bytes, [](int index) {
        return std::string(index > 0 ? "," : "") + "C:\\Users\\Designer\\Fonts\\\xc3\x9cnic\xc3\xb8" +
               "de \xe5\xad\x97\xe4\xbd\x93\\font-" + std::to_string(index) + ".ttf";
    });
}

// As many empty pieces as bytes: the most pieces a text of that size can hold.
std::string listOfCommas(std::size_t bytes) { return std::string(bytes, ','); }

// One piece, half of it in non-ASCII bytes.
std::string longName(std::size_t bytes) {
    return filled(bytes, [](int) { return std::string("fonts-a\\\xe5\xad\x97\xe4\xbd\x93\xc3\xbc"); });
}

struct Case {
    ScriptFunction function;  // registerFonts adds a font per piece; findFontByName decodes the name, refuses it
    std::string (*makeText)(std::size_t bytes);
    bool standInKeepsTexts;  // the stand-in's full recording, to show its own cost
};

void callThroughFrame(benchmark::State& state, Case c) {
    const std::string text = c.makeText(static_cast<std::size_t>(state.range(0)));
    fake::Options options;
    options.recordTexts = c.standInKeepsTexts;
    TaggedValue argument{};
    argument.value.string = text.c_str();
    argument.tag = tagString;

    // Once untimed: the stand-in's recording reaches its full size (reset keeps it).
    fake::reset(options);
    TaggedValue warmUp{};
    c.function(&argument, 1, &warmUp);

    for (auto _ : state) {
        state.PauseTiming();
        fake::reset(options);  // keeps the recording's memory: no growth inside the time
        state.ResumeTiming();
        TaggedValue result{};
        benchmark::DoNotOptimize(c.function(&argument, 1, &result));
        if (result.tag != tagInteger) state.SkipWithError("the call was refused");
    }
    // The last call did all its work: every piece added, or the name decoded and refused.
    const std::size_t pieces = static_cast<std::size_t>(std::count(text.begin(), text.end(), ',')) + 1;
    const std::size_t expected = c.function == registerFonts ? pieces : 0;
    const std::size_t additions = fake::countOf(fake::Call::addFontResource);
    const std::string failure = "additions: " + std::to_string(additions) + ", expected " + std::to_string(expected);
    if (additions != expected) state.SkipWithError(failure.c_str());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(text.size()));
}

void registerCases() {
    const std::vector<std::pair<const char*, Case>> cases{
        {"registerFonts, list of paths", {registerFonts, listOfPaths, false}},
        {"registerFonts, list of paths, stand-in keeping every text", {registerFonts, listOfPaths, true}},
        {"registerFonts, commas only (most pieces)", {registerFonts, listOfCommas, false}},
        {"findFontByName, one long name (copy + decode)", {findFontByName, longName, false}},
    };
    for (const auto& [name, c] : cases) {
        auto* benchmark = benchmark::RegisterBenchmark(name, callThroughFrame, c);
        for (const std::int64_t size : textSizes) benchmark->Arg(size);
        benchmark->Unit(benchmark::kMicrosecond)->UseRealTime();
    }
}

// Google Benchmark's console report on standard error, and a Markdown table
// of the medians (or single runs) on standard output at the end.
class TableReporter : public benchmark::ConsoleReporter {
public:
    TableReporter() {
        SetOutputStream(&std::cerr);
        SetErrorStream(&std::cerr);
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.error_occurred) failed_ = true;
            const bool single = run.run_type == Run::RT_Iteration && run.repetitions <= 1;
            const bool median = run.run_type == Run::RT_Aggregate && run.aggregate_name == "median";
            if (run.error_occurred || !(single || median)) continue;
            const auto bytes = run.counters.find("bytes_per_second");
            rows_[{run.run_name.function_name, std::stoll(run.run_name.args)}] = {
                run.GetAdjustedRealTime(), bytes == run.counters.end() ? 0.0 : bytes->second.value};
        }
    }

    void printTable() const {
        std::printf("| Measure | text | time per call | bytes/s | bytes/s vs 10 KiB |\n"
                    "| --- | ---: | ---: | ---: | ---: |\n");
        std::map<std::string, double> smallest;  // bytes/s at the smallest size of each measure
        for (const auto& [measure, figures] : rows_) {
            const auto& [name, bytes] = measure;
            const auto& [microseconds, bytesPerSecond] = figures;
            const double base = smallest.emplace(name, bytesPerSecond).first->second;
            std::printf("| %s | %lld KiB | %.1f us | %.1f MB/s | %.2f |\n", name.c_str(), bytes / kib, microseconds,
                        bytesPerSecond / 1e6, base > 0 ? bytesPerSecond / base : 0.0);
        }
    }

    bool failed() const { return failed_; }

private:
    // Keyed by measure and text size, so that each measure's rows come together, smallest text first, though
    // repetitions may come interleaved at random; the values: microseconds and bytes per second.
    std::map<std::pair<std::string, long long>, std::pair<double, double>> rows_;
    bool failed_ = false;
};

}  // namespace

int main(int argc, char** argv) {
    registerCases();
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 2;
    TableReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.printTable();
    benchmark::Shutdown();
    return reporter.failed() ? 1 : 0;
}
