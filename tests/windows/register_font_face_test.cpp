// After registerFont / registerFontA the face is really there: enumerated,
// and chosen by GDI to draw text, whatever characters its path holds, and
// every face of a collection.
#include <gtest/gtest.h>

#include <string>

#include "support/case_name.h"
#include "support/font_cleanup.h"
#include "support/glyph_ink.h"
#include "support/script_library.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

struct FaceCase {
    const char* name;
    const char* function;
    const wchar_t* fontFile;  // committed test font
    const wchar_t* face;
};

const FaceCase lifecycleCases[] = {
    {"RegisterFont", "registerFont", L"alpha.ttf", L"ScriptFonts Test Alpha"},
    {"RegisterFontA", "registerFontA", L"beta.ttf", L"ScriptFonts Test Beta"},
};

std::string describe(const GlyphInk& ink) {
    return std::to_string(ink.inkedFraction) + " of a " + std::to_string(ink.cell.cx) + "x" +
           std::to_string(ink.cell.cy) + " cell inked by face \"" + toUtf8(ink.selectedFace) + "\"";
}

class RegisterFontFace : public testing::TestWithParam<FaceCase> {};

// Absent, added and drawn, withdrawn, absent again.
TEST_P(RegisterFontFace, IsDrawnOnlyWhileRegistered) {
    const FaceCase& test = GetParam();
    const std::wstring path = testFontPath(test.fontFile);
    const std::wstring face = test.face;
    FontCleanup cleanup(path);
    ASSERT_FALSE(faceInstalled(face)) << toUtf8(face) << " is installed before the test";
    const GlyphInk absent = drawTestGlyph(face);
    EXPECT_LT(absent.inkedFraction, testGlyphInkThreshold / 2) << "before registration: " << describe(absent);

    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const CallOutcome outcome = library.call(test.function, toUtf8(path));
    EXPECT_EQ(outcome.status, statusOk);
    EXPECT_EQ(outcome.tag, tagInteger);
    ASSERT_EQ(outcome.result, 1) << test.function << "(\"" << toUtf8(path) << "\")";

    EXPECT_TRUE(faceInstalled(face));
    const GlyphInk added = drawTestGlyph(face);
    EXPECT_GT(added.inkedFraction, testGlyphInkThreshold) << "registered: " << describe(added);
    EXPECT_EQ(toUtf8(added.selectedFace), toUtf8(face));

    EXPECT_EQ(cleanup.removeAll(), 1) << "removals of " << toUtf8(path);
    EXPECT_FALSE(faceInstalled(face));
    const GlyphInk removed = drawTestGlyph(face);
    EXPECT_LT(removed.inkedFraction, testGlyphInkThreshold / 2) << "after removal: " << describe(removed);
}

INSTANTIATE_TEST_SUITE_P(Functions, RegisterFontFace, testing::ValuesIn(lifecycleCases), caseName<FaceCase>);

// A collection adds two fonts, and AddFontResourceW answers 2: the result
// is still 1, both faces are there, and one removal withdraws both.
TEST(RegisterFontCollection, GivesOneAndUnregisteringWithdrawsBothFaces) {
    const std::wstring path = testFontPath(L"pair.ttc");
    const std::wstring faces[] = {L"ScriptFonts Test Pair One", L"ScriptFonts Test Pair Two"};
    FontCleanup cleanup(path);
    for (const std::wstring& face : faces) ASSERT_FALSE(faceInstalled(face)) << toUtf8(face) << " before the test";

    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const CallOutcome added = library.call("registerFont", toUtf8(path));
    EXPECT_EQ(added.status, statusOk);
    EXPECT_EQ(added.result, 1) << "registerFont(\"" << toUtf8(path) << "\")";
    for (const std::wstring& face : faces) EXPECT_TRUE(faceInstalled(face)) << toUtf8(face) << " once registered";

    const CallOutcome removed = library.call("unRegisterFont", toUtf8(path));
    EXPECT_EQ(removed.status, statusOk);
    EXPECT_EQ(removed.result, 0);
    for (const std::wstring& face : faces) EXPECT_FALSE(faceInstalled(face)) << toUtf8(face) << " once unregistered";
    EXPECT_EQ(cleanup.removeAll(), 0) << "additions of " << toUtf8(path) << " left after unRegisterFont";
}

// The path is UTF-8 at the boundary; any decoding but UTF-8's names another file.
struct PathCase {
    const char* name;
    const wchar_t* fontFile;  // committed test font
    const wchar_t* copiedAs;  // file name of a temporary copy, or null for the committed file itself
    const wchar_t* face;
};

const PathCase pathCases[] = {
    {"CommittedNonAsciiFileName", L"\u00fcnic\u00f8de-\u5b57\u4f53.ttf", nullptr, L"ScriptFonts Test Unicode"},
    // U+1D4D5 is a surrogate pair in UTF-16 and four bytes in UTF-8.
    {"CharacterOutsideTheBasicPlane", L"gamma.ttf", L"\U0001D4D5ont-\u00e9t\u00e9.ttf", L"ScriptFonts Test Gamma"},
};

class RegisterFontPath : public testing::TestWithParam<PathCase> {};

TEST_P(RegisterFontPath, ReachesThePlatformUnchanged) {
    const PathCase& test = GetParam();
    const TemporaryDirectory directory;
    const std::wstring committed = testFontPath(test.fontFile);
    const std::wstring path = test.copiedAs == nullptr ? committed : directory.copyIn(committed, test.copiedAs);
    ASSERT_NE(GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES) << toUtf8(path) << " does not exist";
    FontCleanup cleanup(path);
    ASSERT_FALSE(faceInstalled(test.face)) << toUtf8(test.face) << " is installed before the test";

    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const CallOutcome outcome = library.call("registerFont", toUtf8(path));

    EXPECT_EQ(outcome.status, statusOk);
    EXPECT_EQ(outcome.result, 1) << "registerFont(\"" << toUtf8(path) << "\")";
    EXPECT_TRUE(faceInstalled(test.face));
    // Removal by the same UTF-16 path also proves it was added under exactly that name.
    EXPECT_EQ(cleanup.removeAll(), 1) << "removals of " << toUtf8(path);
}

INSTANTIATE_TEST_SUITE_P(Paths, RegisterFontPath, testing::ValuesIn(pathCases), caseName<PathCase>);

}  // namespace
}  // namespace scriptfonts::test
