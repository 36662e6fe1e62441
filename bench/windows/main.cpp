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
#include <iostream>
#include <sstream>

#include "scenarios.h"

namespace {

using namespace scriptfonts;
using namespace scriptfonts::bench;

constexpr int exitUsage = 2;
constexpr int fontsOfOneCall = 2;  // the lookups use the first bench font, registerFont the second
const std::vector<int> fullListSizes{20, 200, 2000};

std::vector<int> parseSizes(const std::wstring& text) {
    std::vector<int> sizes;
    std::wistringstream in(text);
    const BenchError invalid("--lists takes positive counts joined by commas");
    for (int size = 0; in >> size; in.ignore()) {
        if (size < 1) throw invalid;
        sizes.push_back(size);
    }
    if (sizes.empty() || !in.eof()) throw invalid;
    return sizes;
}

Context parseOptions(int argc, wchar_t** argv) {
    Context options;
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
        } else {
            throw BenchError("usage: scriptfonts_bench --fonts DIR [--lists N,N,...] [--smoke]");
        }
    }
    if (options.fontDirectory.empty()) throw BenchError("--fonts DIR is required");
    if (options.listSizes.empty()) options.listSizes = options.smoke ? std::vector<int>{3} : fullListSizes;
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

int runBenchmarks(Context context) {
    const test::ScriptLibrary library;
    if (library.module() == nullptr) throw BenchError("scriptfonts.dll cannot be loaded from beside this program");

    context.library = &library;
    requireFonts(context, fontsOfOneCall);
    if (context.inHost) {
        printInHostRows(context);
        return reportSupportFailures() ? EXIT_FAILURE : EXIT_SUCCESS;
    }
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
    if (reportSupportFailures()) return EXIT_FAILURE;
    printTable(std::cout, rows);
    return EXIT_SUCCESS;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    try {
        const Context context = parseOptions(argc, argv);
        try {
            return runBenchmarks(context);
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
