// scriptfonts-run: does with the DLL what the host's scripting engine does,
// from a command line, so the library can be driven without the host.
//
//   scriptfonts-run [--library PATH] [--list] [--version] [FUNCTION ARGUMENT]...
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "command_line.h"
#include "script_library.h"
#include "scriptfonts_version.h"
#include "text.h"

namespace scriptfonts::run {
namespace {

constexpr int exitAllCallsOk = 0;
constexpr int exitCallFailed = 1;  // some call returned a status other than statusOk, or the load brought in a module
constexpr int exitRunError = 2;    // the command line or the library was unusable

// A system box would wait for a user who may not be there: a bad image, a
// missing dependency of the library or a drive without its disk must come
// back as an error this program reports in its one line. For the whole
// process, since Vista has no per-thread mode, and added to the mode it was
// started with. A crash still reaches Windows Error Reporting: that is no
// error this program could report.
void turnOffErrorBoxes() { SetErrorMode(GetErrorMode() | SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX); }

// The engine's kESErrSyntax. The library never returns it; another one may,
// and the host then reports a syntax error in the script.
constexpr std::int32_t engineSyntaxError = 8;

// "status 20 (bad argument list)", named as the host's scripting engine names it: the output is what a panel
// author reads, so it says what the host will report. A code not known here is given as such, never guessed at.
std::string describedStatus(std::int32_t status) {
    const std::string number = "status " + std::to_string(status);
    switch (status) {
    case statusOk: return number;
    case statusBadArguments: return number + " (bad argument list)";  // kESErrBadArgumentList
    case statusOutOfMemory: return number + " (out of memory)";       // kESErrNoMemory, one of its fatal errors
    case engineSyntaxError: return number + " (syntax error)";
    }
    return number + " (not one of the engine's codes known here)";
}

// Makes one call and prints it with its outcome; true when the status was statusOk.
bool runCall(const Call& call, ScriptFunction function) {
    TaggedValue result;
    const std::int32_t status = callWithString(function, call.argument, result);

    // Quoted and escaped, so that every call is one line whatever its text holds.
    std::string line = call.function + "(" + quoted(call.argument) + ") -> " + describedStatus(status);
    // On any other status the record is the engine's own, not a result.
    if (status != statusOk) {
        printLine(line);
        return false;
    }
    if (result.tag != tagInteger) {
        printLine(line + ", but no integer result (tag " + std::to_string(result.tag) + ")");
        return false;
    }
    printLine(line + ", result " + std::to_string(result.value.integer));
    return true;
}

// One line: what else the library's load brought in; true when nothing.
bool reportLoad(const ScriptLibrary& library) {
    const LoadReport& report = library.loadReport();
    const bool nothingElse = report.othersLoaded.empty();
    printLine("loading " + library.path() + " (its imports loaded first: " + report.importsLoadedFirst + ")" +
              (nothingElse ? " loaded no other module" : " also loaded: " + joined(report.othersLoaded)));
    return nothingElse;
}

int run(const Request& request) {
    if (request.help) {
        std::fputs(usage, stdout);
        return exitAllCallsOk;
    }
    // Before loading, so that it shows even when the DLL does not load.
    if (request.version) printLine("scriptfonts-run " SCRIPTFONTS_VERSION_TEXT);
    const ScriptLibrary library(
        request.libraryPath.empty() ? besideProgram(L"scriptfonts.dll") : request.libraryPath, request.loadReport);
    // Every name is resolved before any call, so a mistyped one changes nothing.
    std::vector<ScriptFunction> functions;
    for (const Call& call : request.calls) functions.push_back(library.function(call.function));

    bool allOk = !request.loadReport || reportLoad(library);
    if (request.version) printLine(library.path() + ": " + library.fileVersion());
    if (request.list) {
        printLine(library.signatureList());
        printLine("version " + std::to_string(library.version()));
    }
    for (std::size_t i = 0; i < request.calls.size(); ++i) {
        allOk = runCall(request.calls[i], functions[i]) && allOk;
    }
    return allOk ? exitAllCallsOk : exitCallFailed;
}  // ESTerminate, then FreeLibrary

}  // namespace
}  // namespace scriptfonts::run

int wmain(int argc, wchar_t** argv) {
    using namespace scriptfonts::run;
    turnOffErrorBoxes();
    const Utf8Output output;
    try {
        return run(parseCommandLine(argc, argv));
    } catch (const RunError& error) {
        printError(error.what());
    } catch (const std::exception& error) {
        printError(std::string("stopped: ") + error.what());
    }
    return exitRunError;
}
