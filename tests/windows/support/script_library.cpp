#include "support/script_library.h"

#include <gtest/gtest.h>

#include "support/test_files.h"

namespace scriptfonts::test {

ScriptLibrary::ScriptLibrary() {
    const std::wstring path = besideTestProgram(L"scriptfonts.dll");
    module_ = LoadLibraryW(path.c_str());
    EXPECT_NE(module_, nullptr) << "LoadLibraryW(scriptfonts.dll) failed, error " << GetLastError();
}

ScriptLibrary::~ScriptLibrary() {
    if (module_ != nullptr) FreeLibrary(module_);
}

ScriptFunction ScriptLibrary::function(const char* name) const {
    if (module_ == nullptr) return nullptr;
    return reinterpret_cast<ScriptFunction>(reinterpret_cast<void*>(GetProcAddress(module_, name)));
}

CallOutcome ScriptLibrary::call(const char* name, const std::string& utf8) const {
    const ScriptFunction fn = function(name);
    if (fn == nullptr) {
        ADD_FAILURE() << name << " is not exported";
        return {-1, -1, -1};
    }
    TaggedValue argument{};
    argument.value.string = utf8.c_str();
    argument.tag = tagString;
    TaggedValue result{};
    result.tag = -1;
    const std::int32_t status = fn(&argument, 1, &result);
    return {status, result.value.integer, result.tag};
}

}  // namespace scriptfonts::test
