// The DLL loaded exactly as the host's engine loads it (scriptfonts-run's
// loader: LoadLibraryW, ESInitialize, the functions the signature list
// names), from beside the test program; ESTerminate and FreeLibrary when it goes.
#pragma once

#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "scriptfonts-run/script_library.h"
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

    HMODULE module() const { return loaded_ ? loaded_->module() : nullptr; }
    // Fails the current test and returns null for a function the signature list does not name.
    ScriptFunction function(const char* name) const;

    // One well-formed call: a single string-tagged argument holding utf8.
    CallOutcome call(const char* function, const std::string& utf8) const;

private:
    std::optional<run::ScriptLibrary> loaded_;
};

}  // namespace scriptfonts::test
