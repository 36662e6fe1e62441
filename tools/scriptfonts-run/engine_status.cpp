#include "engine_status.h"

#include "scriptfonts.h"

namespace scriptfonts::run {

// The engine's kESErrSyntax. The library never returns it; another one may,
// and the host then reports a syntax error in the script.
constexpr std::int32_t engineSyntaxError = 8;

// The engine's codes known here are named as its own table names them.
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

}  // namespace scriptfonts::run
