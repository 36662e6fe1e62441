// What the user asked scriptfonts-run to do.
#pragma once

#include <string>
#include <vector>

namespace scriptfonts::run {

struct Call {
    std::string function;  // UTF-8
    std::string argument;  // UTF-8, or the exact bytes of an @PATH file; passed on unchanged
};

struct Request {
    std::wstring libraryPath;  // empty: scriptfonts.dll beside the program
    bool list = false;
    bool help = false;
    bool version = false;
    bool loadReport = false;
    std::vector<Call> calls;
};

extern const char usage[];

// Throws RunError for an unknown option, a missing or empty value, an
// unreadable @PATH file or nothing to do.
Request parseCommandLine(int argc, const wchar_t* const* argv);

}  // namespace scriptfonts::run
