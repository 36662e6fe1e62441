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

#include <cstdlib>
#include <iostream>
#include <optional>
#include <sstream>

#include "scenarios.h"
#include "support/test_files.h"

namespace {

using namespace scriptfonts;
using namespace scriptfonts::bench;

constexpr int exitUsage = 2;
constexpr char usage[] = "usage: scriptfonts_bench --fonts DIR [--lists N,N,...] [--smoke]";
const std::vector<int> fullListSizes{20, 200, 2000};

// Positive counts joined by commas; none for any other text.
std::vector<int> parseSizes(const std::wstring& text) {
    std::vector<int> sizes;
    std::wistringstream in(text);
    for (int size = 0; in >> size; in.ignore()) {
        if (size < 1) return {};
        sizes.push_back(size);
    }
    return in.eof() ? sizes : std::vector<int>{};
}

// Nothing when the command line is not the usage's.
std::optional<Context> parseOptions(int argc, wchar_t** argv) {
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
            if (options.listSizes.empty()) return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    if (options.fontDirectory.empty()) return std::nullopt;
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

}  // namespace

int wmain(int argc, wchar_t** argv) {
    std::optional<Context> context = parseOptions(argc, argv);
    if (!context) {
        std::cerr << usage << "\n";
        return exitUsage;
    }
    try {
        const run::ScriptLibrary library(test::besideTestProgram(L"scriptfonts.dll"), false);
        context->library = &library;
        const std::vector<std::string> rows = context->inHost ? measureInHostRows(*context) : measureRows(*context);
        if (reportSupportFailures()) return EXIT_FAILURE;
        // The copy inside the host prints bare rows, for the table of the program that started it.
        printTable(std::cout, rows, !context->inHost);
        return EXIT_SUCCESS;
    } catch (const std::exception& error) {
        reportSupportFailures();
        std::cerr << "error: " << error.what() << "\n";
        return EXIT_FAILURE;
    }
}
