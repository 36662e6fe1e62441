// scriptfonts_bench: the library against the bare Win32 calls it has to
// make, interleaved in one process. Loads scriptfonts.dll from beside itself
// as the host's engine does and prints a Markdown table.
//
//   scriptfonts_bench --fonts DIR [--lists N,N,...] [--smoke]
//
// DIR holds the fonts scripts/make-fonts.py makes with --prefix bench (as
// many as the longest list). --smoke makes every call once, with a list of
// three fonts unless --lists says otherwise. --in-host is for the program's
// own copy named Photoshop.exe: it measures registerFont there and prints
// the rows as lines for the program that started it.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <cwchar>
#include <iostream>
#include <sstream>

#include "scenarios.h"
#include "support/test_files.h"

namespace {

using namespace scriptfonts;
using namespace scriptfonts::bench;

constexpr int exitUsage = 2;

struct Options {
    std::wstring fontDirectory;
    std::vector<int> listSizes{20, 200, 2000};
    bool smoke = false;
    bool listsGiven = false;
    bool inHost = false;
};

std::vector<int> parseSizes(const std::wstring& text) {
    std::vector<int> sizes;
    std::wstringstream in(text);
    std::wstring item;
    while (std::getline(in, item, L',')) {
        const int size = static_cast<int>(std::wcstol(item.c_str(), nullptr, 10));
        if (size < 1) throw BenchError("--lists takes positive counts joined by commas");
        sizes.push_back(size);
    }
    return sizes;
}

Options parseOptions(int argc, wchar_t** argv) {
    Options options;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        if (option == L"--smoke") {
            options.smoke = true;
        } else if (option == L"--in-host") {
            options.inHost = true;
        } else if (option == L"--fonts" && i + 1 < argc) {
            options.fontDirectory = argv[++i];
        } else if (option == L"--lists" && i + 1 < argc) {
            options.listSizes = parseSizes(argv[++i]);
            options.listsGiven = true;
        } else {
            throw BenchError("usage: scriptfonts_bench --fonts DIR [--lists N,N,...] [--smoke]");
        }
    }
    if (options.fontDirectory.empty()) throw BenchError("--fonts DIR is required");
    if (options.smoke && !options.listsGiven) options.listSizes = {3};
    return options;
}

// The support code reports its failures as GoogleTest failures outside any test.
bool reportSupportFailures() {
    const testing::TestResult& result = testing::UnitTest::GetInstance()->ad_hoc_test_result();
    for (int i = 0; i < result.total_part_count(); ++i) {
        std::cerr << "error: " << result.GetTestPartResult(i).message() << "\n";
    }
    return result.Failed();
}

template <typename Measure>
void measure(const char* what, std::vector<Row>& rows, Measure run) {
    std::cerr << "measuring " << what << "...\n";
    for (Row& row : run()) rows.push_back(std::move(row));
}

int runBenchmarks(const Options& options) {
    const test::ScriptLibrary library;
    if (library.module() == nullptr) throw BenchError("scriptfonts.dll cannot be loaded from beside this program");

    const BenchFonts fonts(options.fontDirectory);
    if (options.inHost) {
        printInHostRows(library, fonts, options.smoke);
        return reportSupportFailures() ? EXIT_FAILURE : EXIT_SUCCESS;
    }
    std::vector<Row> rows;
    measure("the frame", rows, [&] { return frameRows(library, options.smoke); });
    measure("face lookups", rows, [&] { return faceLookupRows(library, fonts, options.smoke); });
    measure("host registration", rows, [&] { return hostRegistrationRows(library, fonts, options.smoke); });
    measure("registration inside the host", rows, [&] { return inHostRegistrationRows(fonts, options.smoke); });
    measure("font lists", rows, [&] { return fontListRows(library, fonts, options.listSizes, options.smoke); });
    if (reportSupportFailures()) return EXIT_FAILURE;

    printTable(std::cout, rows);
    return EXIT_SUCCESS;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        const Options options = parseOptions(argc, argv);
        try {
            return runBenchmarks(options);
        } catch (const std::exception& error) {
            reportSupportFailures();
            std::cerr << "error: " << error.what() << "\n";
            return EXIT_FAILURE;
        }
    } catch (const std::exception& error) {
        std::cerr << error.what() << "\n";
        return exitUsage;
    }
}
