// The DLL loaded exactly as the host's engine loads it: LoadLibraryW from
// beside the test program, each function resolved by its exported name.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "scriptfonts.h"

namespace scriptfonts::test {

struct CallOutcome {
    std::int32_t status;
    std::int32_t result;  // bytes 0-3 of the result value
    std::int32_t tag;
};

class ScriptLibrary {
public:
    ScriptLibrary();  // fails the current test (and leaves module() null) when the DLL cannot be loaded
    ~ScriptLibrary();
    ScriptLibrary(const ScriptLibrary&) = delete;
    ScriptLibrary& operator=(const ScriptLibrary&) = delete;

    HMODULE module() const { return module_; }
    ScriptFunction function(const char* name) const;

    // One well-formed call: a single string-tagged argument holding utf8.
    CallOutcome call(const char* function, const std::string& utf8) const;

private:
    HMODULE module_ = nullptr;
};

}  // namespace scriptfonts::test
