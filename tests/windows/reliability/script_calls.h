// Script-function calls as the engine could make them, well-formed or not,
// described by tables of steps, and everything a call leaves behind: its
// status and the whole result record.
#pragma once

#include <array>
#include <cstdint>
#include <ostream>
#include <string>

#include "scriptfonts.h"
#include "support/script_library.h"

namespace scriptfonts::test {

enum class Function { registerFont, registerFontA, unRegisterFont, registerFonts, findFontByName };
constexpr int functionCount = 5;
const char* nameOf(Function function);

// The five functions resolved once, so long runs make no look-ups.
class ScriptFunctions {
public:
    explicit ScriptFunctions(const ScriptLibrary& library);
    bool complete() const;  // false (with the current test failed) when one is not exported
    ScriptFunction operator[](Function function) const { return functions_[static_cast<int>(function)]; }

private:
    std::array<ScriptFunction, functionCount> functions_{};
};

// One string-tagged argument, or one of the malformed calls the frame refuses.
enum class Shape { wellFormed, noArgument, integerTag, nullText };

// The status and the result record, which is filled with untouchedByte before the call.
struct Outcome {
    std::int32_t status;
    std::uint32_t valueLow;   // bytes 0-3 of the value: the result
    std::uint32_t valueHigh;  // bytes 4-7: the engine's
    std::int32_t tag;
    std::uint32_t reserved;  // after the tag: the engine's
};
bool operator==(const Outcome& a, const Outcome& b);
inline bool operator!=(const Outcome& a, const Outcome& b) { return !(a == b); }
std::ostream& operator<<(std::ostream& out, const Outcome& outcome);

constexpr unsigned char untouchedByte = 0xA5;
constexpr std::uint32_t untouchedWord = 0xA5A5A5A5u;

// Status 0, the integer result and its tag; nothing else of the record written.
constexpr Outcome wrote(std::int32_t result) {
    return {statusOk, static_cast<std::uint32_t>(result), untouchedWord, tagInteger, untouchedWord};
}
// Status 20 and the record as the engine left it.
constexpr Outcome refused() {
    return {statusBadArguments, untouchedWord, untouchedWord, static_cast<std::int32_t>(untouchedWord), untouchedWord};
}

// Never throws and allocates nothing, so it can run inside a measurement.
Outcome callScript(ScriptFunction function, Shape shape, const char* text) noexcept;

// The argument texts a table of steps refers to by name.
enum class Text { fontA, fontB, faceA, faceB, list, missingFile, empty, longName };
constexpr int textCount = 8;
using Texts = std::array<std::string, textCount>;

// fontA and fontB are full paths, faceA and faceB their faces; list is
// "fontA,,fontB", with an empty piece; missingFile sits beside fontA.
Texts textsFor(const std::wstring& fontA, const std::wstring& fontB, const std::wstring& faceA,
               const std::wstring& faceB);

struct Step {
    Function function;
    Shape shape;
    Text text;
    Outcome expected;
};

inline Outcome run(const ScriptFunctions& functions, const Step& step, const Texts& texts) noexcept {
    return callScript(functions[step.function], step.shape, texts[static_cast<int>(step.text)].c_str());
}

// "registerFonts(list)" or "findFontByName, integer tag".
std::string describe(const Step& step);

}  // namespace scriptfonts::test
