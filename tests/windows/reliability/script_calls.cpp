#include "reliability/script_calls.h"

#include <gtest/gtest.h>

#include <cstring>
#include <iomanip>

#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

constexpr const char* functionNames[functionCount] = {"registerFont", "registerFontA", "unRegisterFont",
                                                      "registerFonts", "findFontByName"};
constexpr const char* textNames[textCount] = {"fontA", "fontB",       "faceA", "faceB",
                                              "list",  "missingFile", "empty", "longName"};
// Longer than any face name can be: the lookup answers 0 without enumerating.
constexpr std::size_t longNameUnits = 40;

std::uint32_t word(const unsigned char* bytes) {
    std::uint32_t value;
    std::memcpy(&value, bytes, sizeof value);
    return value;
}

}  // namespace

const char* nameOf(Function function) { return functionNames[static_cast<int>(function)]; }

ScriptFunctions::ScriptFunctions(const ScriptLibrary& library) {
    for (int i = 0; i < functionCount; ++i) functions_[i] = library.function(functionNames[i]);
}

bool ScriptFunctions::complete() const {
    bool all = true;
    for (int i = 0; i < functionCount; ++i) {
        if (functions_[i] != nullptr) continue;
        ADD_FAILURE() << functionNames[i] << " is not exported";
        all = false;
    }
    return all;
}

bool operator==(const Outcome& a, const Outcome& b) {
    return a.status == b.status && a.valueLow == b.valueLow && a.valueHigh == b.valueHigh && a.tag == b.tag &&
           a.reserved == b.reserved;
}

std::ostream& operator<<(std::ostream& out, const Outcome& outcome) {
    const std::ios_base::fmtflags flags = out.flags();
    out << "status " << outcome.status << ", result " << static_cast<std::int32_t>(outcome.valueLow) << std::hex
        << " (value bytes 0x" << outcome.valueHigh << "'" << std::setw(8) << std::setfill('0') << outcome.valueLow
        << "), tag " << std::dec << outcome.tag << std::hex << ", after the tag 0x" << outcome.reserved;
    out.flags(flags);
    return out;
}

Outcome callScript(ScriptFunction function, Shape shape, const char* text) noexcept {
    TaggedValue argument;
    std::memset(&argument, 0, sizeof argument);
    argument.value.string = shape == Shape::nullText ? nullptr : text;
    argument.tag = shape == Shape::integerTag ? tagInteger : tagString;
    TaggedValue result;
    std::memset(&result, untouchedByte, sizeof result);

    const std::int32_t status = function(&argument, shape == Shape::noArgument ? 0 : 1, &result);
    return {status, word(result.value.bytes), word(result.value.bytes + 4), result.tag,
            static_cast<std::uint32_t>(result.reserved)};
}

Texts textsFor(const std::wstring& fontA, const std::wstring& fontB, const std::wstring& faceA,
               const std::wstring& faceB) {
    const std::wstring missingFile = fontA.substr(0, fontA.find_last_of(L'\\') + 1) + L"no-such-font.ttf";
    Texts texts;
    texts[static_cast<int>(Text::fontA)] = toUtf8(fontA);
    texts[static_cast<int>(Text::fontB)] = toUtf8(fontB);
    texts[static_cast<int>(Text::faceA)] = toUtf8(faceA);
    texts[static_cast<int>(Text::faceB)] = toUtf8(faceB);
    texts[static_cast<int>(Text::list)] = toUtf8(fontA + L",," + fontB);
    texts[static_cast<int>(Text::missingFile)] = toUtf8(missingFile);
    texts[static_cast<int>(Text::empty)] = "";
    texts[static_cast<int>(Text::longName)] = std::string(longNameUnits, 'L');
    return texts;
}

std::string describe(const Step& step) {
    const std::string name = nameOf(step.function);
    switch (step.shape) {
        case Shape::wellFormed:
            return name + "(" + textNames[static_cast<int>(step.text)] + ")";
        case Shape::noArgument:
            return name + ", no argument";
        case Shape::integerTag:
            return name + ", integer-tagged argument";
        case Shape::nullText:
            return name + ", string tag without text";
    }
    return name;
}

}  // namespace scriptfonts::test
