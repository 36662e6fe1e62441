// What the benchmark measures: its rows, in groups that share a set-up. A
// failed check throws BenchError.
#pragma once

#include <string>
#include <vector>

#include "harness.h"
#include "scriptfonts-run/script_library.h"

namespace scriptfonts::bench {

struct Context {
    const run::ScriptLibrary* library = nullptr;
    std::wstring fontDirectory;  // the fonts scripts/make-fonts.py makes with --prefix bench
    std::vector<int> listSizes;
    bool smoke = false;
    bool inHost = false;  // this is the copy of the program named as the host
};

// Every row, in the table's order. The rows inside the host are measured by a
// copy of this program named as the host (--in-host), with measureInHostRows.
std::vector<std::string> measureRows(const Context& context);
std::vector<std::string> measureInHostRows(const Context& context);

}  // namespace scriptfonts::bench
