#include "command_line.h"

#include <string_view>

#include "text.h"

namespace scriptfonts::run {

const char usage[] =
    "usage: scriptfonts-run [--library PATH] [--list] [FUNCTION ARGUMENT]...\n"
    "Loads scriptfonts.dll (beside this program unless --library names another) as the host's\n"
    "scripting engine does, then calls each FUNCTION with its ARGUMENT, in order, in this process.\n"
    "  --list     print the signature list and the version the library reports\n"
    "Exit status: 0 every call returned status 0, 1 some call did not, 2 nothing was called.\n";

Request parseCommandLine(int argc, const wchar_t* const* argv) {
    Request request;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view word = argv[i];
        if (word == L"--help" || word == L"-h") {
            request.help = true;
        } else if (word == L"--list") {
            request.list = true;
        } else if (word == L"--library") {
            if (++i == argc) throw RunError("--library needs a path");
            request.libraryPath = argv[i];
        } else if (word.substr(0, 1) == L"-") {
            throw RunError("unknown option " + toUtf8(word) + " (try --help)");
        } else {
            if (i + 1 == argc) throw RunError("missing argument for " + toUtf8(word));
            request.calls.push_back({toUtf8(word), toUtf8(argv[i + 1])});
            ++i;
        }
    }
    if (!request.help && !request.list && request.calls.empty()) {
        throw RunError("nothing to do (try --help)");
    }
    return request;
}

}  // namespace scriptfonts::run
