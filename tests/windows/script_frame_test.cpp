// The common frame over the real platform: argument text decoded by the real
// MultiByteToWideChar on its way to the font table, and malformed calls
// refused before anything is done.
#include <gtest/gtest.h>

#include <windows.h>

#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "support/call_checks.h"
#include "support/font_catalog.h"
#include "support/font_change_counter.h"
#include "support/font_cleanup.h"
#include "support/script_library.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

struct DecodingCase {
    const char* label;
    const char* bytes;  // where the file name holds U+FFFD
    const char* function;
};

// Copies font to a file whose name holds U+FFFD and registers it through a
// path holding the case's bytes in that place. Withdrawing the copy by its own
// name afterwards works only if the platform was handed exactly that name.
void expectRegisteredThroughMalformedBytes(const TestFont& font, const std::wstring& fileName,
                                           const std::string& utf8Before, const std::string& utf8After,
                                           const std::vector<DecodingCase>& cases) {
    const ScriptLibrary library;
    const TemporaryDirectory directory;
    const std::wstring copy = directory.copyIn(testFontPath(font.fileName), fileName);
    const FontCleanup cleanup(copy);
    const std::string directoryUtf8 = toUtf8(directory.path()) + "\\";
    for (const DecodingCase& decoding : cases) {
        SCOPED_TRACE(decoding.label);
        ASSERT_FALSE(faceInstalled(font.face)) << "before the call";
        const std::string path = directoryUtf8 + utf8Before + decoding.bytes + utf8After;
        EXPECT_TRUE(wroteResult(library.call(decoding.function, path), 1)) << decoding.function;
        EXPECT_TRUE(faceInstalled(font.face)) << decoding.function << " did not install the copy";
        EXPECT_NE(RemoveFontResourceW(copy.c_str()), 0) << "the copy was not added under its own name";
    }
}

TEST(ArgumentText, AMalformedByteReachesThePlatformAsAReplacementCharacter) {
    const std::vector<DecodingCase> malformedBytes = {
        {"byte FF", "\xFF", "registerFont"},
        {"byte FE", "\xFE", "registerFontA"},
        {"a lone continuation byte", "\x80", "registerFonts"},
        {"a lead byte followed by ASCII", "\xE6", "registerFont"},
        {"a lead byte and one continuation followed by ASCII", "\xE5\xAD", "registerFontA"},
    };
    expectRegisteredThroughMalformedBytes(gammaFont, L"malformed-\uFFFD-name.ttf", "malformed-", "-name.ttf",
                                          malformedBytes);
}

// The copy's name ends in U+FFFD, so a path with anything after it is not
// found. Under Wine the conversion of such text, terminator included, writes
// the text before plus U+FFFD and, for some cut sequences, no terminator.
TEST(ArgumentText, TextEndingInsideASequenceReachesThePlatformAsTheTextBeforeAndOneReplacementCharacter) {
    const std::vector<DecodingCase> cutSequences = {
        {"two-byte lead alone", "\xC3", "registerFont"},
        {"three-byte lead alone", "\xE6", "registerFont"},
        {"three-byte lead and one continuation", "\xE5\xAD", "registerFontA"},
        {"four-byte lead alone", "\xF0", "registerFontA"},
        {"four-byte lead and one continuation", "\xF0\x9F", "registerFonts"},
        {"four-byte lead and two continuations", "\xF0\x9F\x98", "registerFonts"},
    };
    expectRegisteredThroughMalformedBytes(deltaFont, L"cut-\uFFFD", "cut-", "", cutSequences);
}

struct MalformedCall {
    const char* label;
    std::int32_t count;
    std::int32_t tag;
    bool nullArguments;
    bool nullText;
    bool nullResult;
};

const MalformedCall malformedCalls[] = {
    {"no argument", 0, tagString, false, false, false},
    {"two arguments", 2, tagString, false, false, false},
    {"a negative count", -1, tagString, false, false, false},
    {"an integer-tagged argument", 1, tagInteger, false, false, false},
    {"a string tag without text", 1, tagString, false, true, false},
    {"no argument array", 1, tagString, true, false, false},
    {"no result record", 1, tagString, false, false, true},
};

const char* const scriptFunctions[] = {"registerFont", "registerFontA", "unRegisterFont", "registerFonts",
                                       "findFontByName"};

using RecordBytes = std::array<unsigned char, sizeof(TaggedValue)>;

RecordBytes bytesOf(const TaggedValue& record) {
    RecordBytes bytes;
    std::memcpy(bytes.data(), &record, sizeof record);
    return bytes;
}

TEST(ScriptFrame, RefusesMalformedCallsWithoutTouchingTheResultOrTheFontTable) {
    const ScriptLibrary library;
    FontChangeCounter counter;
    // Well-formed, every argument would add a real font and broadcast.
    const std::wstring path = testFontPath(alphaFont.fileName);
    const FontCleanup cleanup(path);
    const std::string utf8Path = toUtf8(path);

    for (const char* name : scriptFunctions) {
        const ScriptFunction function = library.function(name);
        ASSERT_NE(function, nullptr) << name << " is not exported";
        for (const MalformedCall& call : malformedCalls) {
            SCOPED_TRACE(std::string(name) + ", " + call.label);
            TaggedValue arguments[2];
            for (TaggedValue& argument : arguments) {
                std::memset(&argument, 0, sizeof argument);
                argument.value.string = call.nullText ? nullptr : utf8Path.c_str();
                argument.tag = call.tag;
            }
            TaggedValue result;
            std::memset(&result, 0xA5, sizeof result);
            const RecordBytes before = bytesOf(result);

            const std::int32_t status = function(call.nullArguments ? nullptr : arguments, call.count,
                                                 call.nullResult ? nullptr : &result);
            EXPECT_EQ(status, statusBadArguments);
            EXPECT_EQ(bytesOf(result), before) << "the result record was written";
        }
    }
    EXPECT_FALSE(faceInstalled(alphaFont.face)) << "a refused call added the font";
    EXPECT_EQ(counter.takeCount(), 0) << "a refused call broadcast";
}

}  // namespace
}  // namespace scriptfonts::test
