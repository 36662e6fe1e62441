// What the benchmark works with: the generated fonts, the DLL's script
// functions called as the engine calls them, and the error that stops a run.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <utility>

#include "scriptfonts.h"
#include "support/script_library.h"

namespace scriptfonts::bench {

// A check failed: the benchmark would measure something other than it says.
class BenchError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// The numbered fonts scripts/make-fonts.py makes with --prefix bench: each
// file holds one face of its own.
class BenchFonts {
public:
    explicit BenchFonts(std::wstring directory) : directory_(std::move(directory)) {}
    const std::wstring& directory() const { return directory_; }
    std::wstring path(int index) const;
    static std::wstring face(int index);
    // Throws unless the first `count` fonts are there.
    void require(int count) const;

private:
    std::wstring directory_;
};

// One script function resolved once, then called with one string-tagged
// argument and a fresh result record, as the engine calls it.
class ScriptCall {
public:
    ScriptCall(const test::ScriptLibrary& library, const char* name);

    // A well-formed call; throws unless its status is statusOk.
    std::int32_t operator()(const char* utf8) const {
        TaggedValue argument{};
        argument.value.string = utf8;
        argument.tag = tagString;
        TaggedValue result{};
        const std::int32_t status = function_(&argument, 1, &result);
        if (status != statusOk) failed(status);
        return result.value.integer;
    }
    // The status of a call with `count` arguments (the first a string).
    std::int32_t status(const char* utf8, std::int32_t count) const {
        TaggedValue argument{};
        argument.value.string = utf8;
        argument.tag = tagString;
        TaggedValue result{};
        return function_(&argument, count, &result);
    }

private:
    [[noreturn]] void failed(std::int32_t status) const;

    std::string name_;
    ScriptFunction function_ = nullptr;
};

}  // namespace scriptfonts::bench
