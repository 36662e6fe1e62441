#include "engine_status.h"

#include "scriptfonts.h"

namespace scriptfonts::run {
namespace {

// The engine's kESErrSyntax. The library never returns it; another one may,
// and the host then reports a syntax error in the script.
constexpr std::int32_t engineSyntaxError = 8;

struct EngineCode {
    std::int32_t status;
    const char* name;
};

// The engine's codes known here, named as its own table names them.
constexpr EngineCode engineCodes[] = {
    {statusBadArguments, "bad argument list"},  // kESErrBadArgumentList
    {statusOutOfMemory, "out of memory"},       // kESErrNoMemory, one of its fatal errors
    {engineSyntaxError, "syntax error"},
};

}  // namespace

std::string describedStatus(std::int32_t status) {
    const std::string number = "status " + std::to_string(status);
    if (status == statusOk) return number;
    for (const EngineCode& code : engineCodes) {
        if (code.status == status) return number + " (" + code.name + ")";
    }
    return number + " (not one of the engine's codes known here)";
}

}  // namespace scriptfonts::run
