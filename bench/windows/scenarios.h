// What the benchmark measures, in groups of rows that share a set-up, and
// what the groups work with: the generated fonts and the DLL's script
// functions, called as the engine calls them. A failed check throws
// BenchError.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "harness.h"
#include "scriptfonts.h"
#include "support/script_library.h"

namespace scriptfonts::bench {

constexpr wchar_t hostExecutable[] = L"Photoshop.exe";  // registerFont's host

struct Context {
    const test::ScriptLibrary& library;
    std::wstring fontDirectory;  // the fonts scripts/make-fonts.py makes with --prefix bench
    std::vector<int> listSizes;
    bool smoke;
};

// The numbered bench fonts: each file holds one face of its own.
std::wstring fontPath(const Context& context, int index);
std::wstring fontFace(int index);
// Throws unless the first `count` fonts are there.
void requireFonts(const Context& context, int count);

// A script function resolved once by its exported name; throws when it is missing.
ScriptFunction exported(const Context& context, const char* name);

// A call as the engine makes it: `count` arguments, the first string-tagged
// holding utf8, and a fresh result record. Returns the status.
inline std::int32_t callScript(ScriptFunction function, const char* utf8, std::int32_t count, TaggedValue& result) {
    TaggedValue argument{};
    argument.value.string = utf8;
    argument.tag = tagString;
    result = {};
    return function(&argument, count, &result);
}

// A well-formed call: true when it succeeded with the result `expected`.
inline bool returns(ScriptFunction function, const char* utf8, std::int32_t expected) {
    TaggedValue result;
    return callScript(function, utf8, 1, result) == statusOk && result.value.integer == expected;
}

// A row of registerFont against `bare`, which adds the font at the path and
// tells the host. Every call of either arm adds bench font 1, which is then
// withdrawn, untimed, and counted in `registrations`: the host's windows must
// have been told of each.
using BareRegistration = std::function<bool(const std::wstring& path, const std::string& utf8)>;
std::string registrationRow(const Context& context, const std::string& measure, Plan plan, long& registrations,
                            const BareRegistration& bare);

// The groups, in the table's order. The rows inside the host are measured
// by a copy of this program named as the host (--in-host), which prints them
// with printInHostRows.
std::vector<std::string> frameRows(const Context& context);
std::vector<std::string> faceLookupRows(const Context& context);
std::vector<std::string> standInHostRows(const Context& context);
std::vector<std::string> inHostRows(const Context& context);
std::vector<std::string> fontListRows(const Context& context);
void printInHostRows(const Context& context);

}  // namespace scriptfonts::bench
