#include "command_line.h"

#include <string_view>

#include "text.h"

namespace scriptfonts::run {

const char usage[] =
    "usage: scriptfonts-run [--library PATH] [--list] [--version] [--load-report] [FUNCTION ARGUMENT]...\n"
    "       scriptfonts-run --help | -h | /?\n"
    "Loads scriptfonts.dll (beside this program unless --library names another) as the host's\n"
    "scripting engine does, then calls each FUNCTION with its ARGUMENT, in order, in this process,\n"
    "printing one line per call: FUNCTION(\"ARGUMENT\") -> status S, result R. A status other\n"
    "than 0 is named as the engine names it, as in \"status 20 (bad argument list)\".\n"
    "  --library PATH  the DLL to load instead of the one beside this program\n"
    "  --list          print the signature list and the version the library reports\n"
    "  --version       print this program's version and the loaded DLL's file version\n"
    "  --load-report   load the DLLs the library imports first, then print what else loading\n"
    "                  the library brought into the process (its initialisation must load nothing)\n"
    "  --help, -h, /?  print this text\n"
    "An ARGUMENT written @PATH is replaced by the exact bytes of the file PATH (any length, any\n"
    "bytes but NUL, malformed UTF-8 included); write @@ for an argument that starts with a literal @.\n"
    "Arguments are printed in quotes, with \\\", \\\\, \\n, \\r, \\t and \\xNN for other control\n"
    "characters and bytes that are not UTF-8.\n"
    "Exit status: 0 every call returned status 0 (or --help), 1 some call did not, or the load\n"
    "brought in another module (--load-report), 2 nothing was called: a bad command line, an\n"
    "unreadable @PATH, or a DLL that cannot be loaded or is not a script library (one line on\n"
    "standard error says why).\n";

namespace {

// The text a call is given: the command-line word in UTF-8, or the bytes of
// the file an @PATH word names.
std::string argumentText(std::wstring_view word) {
    if (word.substr(0, 2) == L"@@") return toUtf8(word.substr(1));
    if (word.substr(0, 1) != L"@") return toUtf8(word);
    const std::wstring path(word.substr(1));
    if (path.empty()) throw RunError("@ needs a file name after it (write @@ for a literal @)");
    std::string bytes = readFileBytes(path);
    const auto nul = bytes.find('\0');
    if (nul != std::string::npos) {
        throw RunError(toUtf8(path) + " holds a NUL byte at offset " + std::to_string(nul) +
                       ": a script function's text ends at its first NUL");
    }
    return bytes;
}

}  // namespace

Request parseCommandLine(int argc, const wchar_t* const* argv) {
    Request request;
    for (int i = 1; i < argc; ++i) {
        const std::wstring_view word = argv[i];
        if (word == L"--help" || word == L"-h" || word == L"/?") {
            request.help = true;
        } else if (word == L"--list") {
            request.list = true;
        } else if (word == L"--version") {
            request.version = true;
        } else if (word == L"--load-report") {
            request.loadReport = true;
        } else if (word == L"--library") {
            if (++i == argc) throw RunError("--library needs a path");
            // An empty path would otherwise quietly mean the default DLL.
            if (argv[i][0] == L'\0') throw RunError("--library needs a path, not an empty one");
            request.libraryPath = argv[i];
        } else if (word.substr(0, 1) == L"-") {
            throw RunError("unknown option " + toUtf8(word) + " (try --help)");
        } else {
            if (i + 1 == argc) throw RunError("missing argument for " + toUtf8(word));
            request.calls.push_back({toUtf8(word), argumentText(argv[i + 1])});
            ++i;
        }
    }
    if (!request.help && !request.list && !request.version && !request.loadReport && request.calls.empty()) {
        throw RunError("nothing to do (try --help)");
    }
    return request;
}

}  // namespace scriptfonts::run
