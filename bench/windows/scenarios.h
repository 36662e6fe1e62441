// What the benchmark measures: its rows, in groups that share a set-up. A
// failed check throws BenchError.
#pragma once

#include <string>
#include <vector>

#include "harness.h"
#include "support/script_library.h"

namespace scriptfonts::bench {

struct Context {
    const test::ScriptLibrary* library = nullptr;
    std::wstring fontDirectory;  // the fonts scripts/make-fonts.py makes with --prefix bench
    std::vector<int> listSizes;
    bool smoke = false;
    bool inHost = false;  // this is the copy of the program named as the host
};

// Throws unless the first `count` bench fonts are there.
void requireFonts(const Context& context, int count);

// The groups, in the table's order. The rows inside the host are measured
// by a copy of this program named as the host (--in-host), which prints them
// with printInHostRows.
std::vector<std::string> frameRows(const Context& context);
std::vector<std::string> faceLookupRows(const Context& context);
std::vector<std::string> standInHostRows(const Context& context);
std::vector<std::string> inHostRows(const Context& context);
std::vector<std::string> fontListRows(const Context& context);
void printInHostRows(const Context& context);

}  // namespace scriptfonts::bench
