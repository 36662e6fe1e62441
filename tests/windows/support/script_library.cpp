#include "support/script_library.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace scriptfonts::test {

ScriptLibrary::ScriptLibrary() {
    try {
        loaded_.emplace(besideTestProgram(L"scriptfonts.dll"), false);
    } catch (const run::RunError& error) {
        ADD_FAILURE() << error.what();
    }
}

ScriptFunction ScriptLibrary::function(const char* name) const {
    if (!loaded_) return nullptr;
    try {
        return loaded_->function(name);
    } catch (const run::RunError& error) {
        ADD_FAILURE() << error.what();
        return nullptr;
    }
}

CallOutcome ScriptLibrary::call(const char* name, const std::string& utf8) const {
    const ScriptFunction fn = function(name);
    if (fn == nullptr) return {-1, -1, -1};
    TaggedValue result;
    const std::int32_t status = run::callWithString(fn, utf8, result);
    return {status, result.value.integer, result.tag};
}

}  // namespace scriptfonts::test
