// The one frame every script function goes through: what it refuses, what it
// writes, how it decodes, and what it does when memory runs out.
#include <climits>
#include <cstring>
#include <string>
#include <vector>

#include "repeated_text.h"
#include "unit_test_support.h"

namespace scriptfonts::test {
namespace {

using fake::Call;

class Frame : public UnitTest {};

TaggedValue taggedArgument(std::int32_t tag) {
    TaggedValue argument = stringArgument("C:\\fonts\\a.ttf");
    argument.tag = tag;
    return argument;
}

// A refused call must neither touch the engine's record nor reach the system.
void expectRefused(const NamedFunction& function, const TaggedValue* arguments, std::int32_t count, bool nullResult) {
    fake::reset();
    TaggedValue result = patternedRecord();
    const std::int32_t status = function.function(arguments, count, nullResult ? nullptr : &result);
    EXPECT_EQ(status, statusBadArguments) << function.name;
    EXPECT_TRUE(untouched(result)) << function.name << ": the record is now" << bytesOf(result);
    EXPECT_EQ(fake::sequence(), std::vector<Call>{}) << function.name;
}

TEST_F(Frame, RefusesMalformedCallsWithoutTouchingTheResultOrTheSystem) {
    const TaggedValue two[] = {stringArgument("a.ttf"), stringArgument("b.ttf")};
    const TaggedValue nullText = stringArgument(nullptr);
    struct Case {
        const char* name;
        const TaggedValue* arguments;
        std::int32_t count;
        bool nullResult;
    };
    std::vector<Case> cases = {
        {"count 0", two, 0, false},
        {"count 2, a string first", two, 2, false},
        {"count -1", two, -1, false},
        {"count INT32_MIN", two, INT32_MIN, false},
        {"null argument array", nullptr, 1, false},
        {"string tag, null text", &nullText, 1, false},
        {"null result record", two, 1, true},
    };
    // Tags that are not tagString, among them 4 with other bits set.
    std::vector<TaggedValue> tagged;
    for (const std::int32_t tag : {std::int32_t{tagInteger}, 0, 3, 5, -4, 0x104, 0x40000004})
        tagged.push_back(taggedArgument(tag));
    for (const TaggedValue& argument : tagged) cases.push_back({"a tag other than 4", &argument, 1, false});

    for (const Case& c : cases) {
        for (const NamedFunction& function : scriptFunctions) {
            SCOPED_TRACE(std::string(c.name) + " (tag " + (c.arguments ? std::to_string(c.arguments->tag) : "-") + ")");
            expectRefused(function, c.arguments, c.count, c.nullResult);
        }
    }
}

TEST_F(Frame, RefusesTextWhoseLengthAndTerminatorOverflowThePlatformCount) {
    // INT32_MAX bytes and the NUL: the platform's count could not hold the
    // terminator. (INT32_MAX - 1 bytes are accepted: the allocation failure
    // test shows it without copying them.)
    const RepeatedText longest(std::size_t{INT32_MAX});
    ASSERT_NE(longest.text(), nullptr) << "could not map 2 GiB of text";
    ASSERT_EQ(strnlen(longest.text(), std::size_t{INT32_MAX} + 1), std::size_t{INT32_MAX});
    const TaggedValue argument = stringArgument(longest.text());
    for (const NamedFunction& function : scriptFunctions) expectRefused(function, &argument, 1, false);
}

TEST_F(Frame, WritesOnlyTheFourValueBytesAndTheTag) {
    struct Case {
        NamedFunction function;
        std::int32_t expected;
    };
    const Case cases[] = {
        {scriptFunctions[0], 1}, {scriptFunctions[1], 1}, {scriptFunctions[2], 0},
        {scriptFunctions[3], 1}, {scriptFunctions[4], 1},
    };
    for (const Case& c : cases) {
        fake::reset();
        fake::options().faceNames = {u"Alpha Sans"};
        const Outcome outcome = callWith(c.function.function, "Alpha Sans");

        TaggedValue expected = patternedRecord();
        std::memcpy(expected.value.bytes, &c.expected, sizeof c.expected);
        expected.tag = tagInteger;
        EXPECT_EQ(outcome.status, statusOk) << c.function.name;
        EXPECT_EQ(outcome.result.value.integer, c.expected) << c.function.name;
        EXPECT_EQ(outcome.result.tag, tagInteger) << c.function.name;
        EXPECT_EQ(std::memcmp(&outcome.result, &expected, sizeof expected), 0)
            << c.function.name << ": the record is" << bytesOf(outcome.result) << ", expected" << bytesOf(expected);
    }
}

TEST_F(Frame, MemoryExhaustionGivesItsOwnStatusAndReleasesEverything) {
    struct Case {
        NamedFunction function;
        Call throwing;
    };
    const Case cases[] = {
        {scriptFunctions[0], Call::forEachTopLevelWindow},
        {scriptFunctions[4], Call::enumerateFontFamilies},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.function.name);
        fake::Options options;
        options.processes = {{u"Photoshop.exe", 10}};
        options.windows = {{reinterpret_cast<void*>(0x100), 10}};
        options.badAllocFrom = c.throwing;
        fake::reset(options);

        const Outcome outcome = callWith(c.function.function, "Alpha");
        // The engine's own kESErrNoMemory, pinned: 8 would be its "Syntax error".
        EXPECT_EQ(outcome.status, -28);
        EXPECT_TRUE(untouched(outcome.result)) << "the record is now" << bytesOf(outcome.result);
        EXPECT_EQ(fake::countOf(c.throwing), 1u);
        EXPECT_EQ(fake::openSnapshots() + fake::openDCs(), 0u) << "left open when the exception passed";
    }
}

// Windows' decoder and Wine's give the same text for all of these. Wine's
// leaves out the terminator after a sequence cut off by the end ("a\xE6"):
// the text must end where the decoder's count says, nothing read after.
TEST_F(Frame, DecodesTheTextAsThePlatformDoesAndReadsOnlyWhatItWrote) {
    struct Case {
        const char* utf8;
        std::u16string expected;
    };
    const Case cases[] = {
        {"C:\\fonts\\a.ttf", u"C:\\fonts\\a.ttf"},
        {"", u""},
        {"C:\\字体\\宋体.ttf", u"C:\\字体\\宋体.ttf"},
        {"\xF0\x9F\x98\x80.ttf", u"\xD83D\xDE00.ttf"},  // outside the BMP: a surrogate pair
        {"a\xFFz", u"a\uFFFDz"},
        {"\xC0\xAF", u"\uFFFD\uFFFD"},                // overlong '/'
        {"\xE0\x80\xAF", u"\uFFFD\uFFFD"},            // overlong '/', three bytes
        {"\xED\xA0\x80", u"\uFFFD\uFFFD"},            // a surrogate encoded in UTF-8
        {"\xF4\x90\x80\x80", u"\uFFFD\uFFFD\uFFFD"},  // beyond U+10FFFF
        {"\xE6\x97z", u"\uFFFDz"},                    // cut off before another character
        {"a\xE6", u"a\uFFFD"},                        // cut off by the end of the text
        {"a\xF0\x9F\x98", u"a\uFFFD"},
    };
    const NamedFunction viaWholeText = scriptFunctions[0];
    const NamedFunction viaListPiece = scriptFunctions[3];
    for (const bool wine : {false, true}) {
        for (const Case& c : cases) {
            for (const NamedFunction& function : {viaWholeText, viaListPiece}) {
                fake::reset();
                fake::options().wineTruncationQuirk = wine;
                const Outcome outcome = callWith(function.function, c.utf8);
                EXPECT_EQ(outcome.status, statusOk);
                EXPECT_EQ(fake::textsPassedTo(Call::addFontResource), std::vector<std::u16string>{c.expected})
                    << function.name << (wine ? " with Wine's decoder" : " with Windows' decoder");
            }
        }
    }
}

}  // namespace
}  // namespace scriptfonts::test
