// findFontByName under the real font table. The platform filters face names
// without regard to letter case; the answer must still be exact.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "support/call_checks.h"
#include "support/font_catalog.h"
#include "support/font_cleanup.h"
#include "support/script_library.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

struct Lookup {
    const char* label;
    std::wstring name;
    std::int32_t expected;
};

void expectLookups(const ScriptLibrary& library, const std::vector<Lookup>& lookups) {
    for (const Lookup& lookup : lookups) {
        EXPECT_TRUE(wroteResult(library.call("findFontByName", toUtf8(lookup.name)), lookup.expected))
            << lookup.label << ": \"" << toUtf8(lookup.name) << "\" (" << lookup.name.size() << " units)";
    }
}

TEST(FaceLookup, FindsOnlyTheExactNameOfAFaceThisProcessRegistered) {
    const ScriptLibrary library;
    const std::wstring alphaPath = testFontPath(alphaFont.fileName);
    const std::wstring longNamePath = testFontPath(thirtyOneUnitFont.fileName);
    const FontCleanup alphaCleanup(alphaPath);
    const FontCleanup longNameCleanup(longNamePath);
    const std::wstring longFace = thirtyOneUnitFont.face;
    ASSERT_EQ(longFace.size(), 31u);

    expectLookups(library, {{"before registration", alphaFont.face, 0},
                            {"31-unit face before registration", longFace, 0}});

    ASSERT_TRUE(wroteResult(library.call("registerFont", toUtf8(alphaPath)), 1));
    ASSERT_TRUE(wroteResult(library.call("registerFontA", toUtf8(longNamePath)), 1));
    expectLookups(library, {
                               {"exact name", alphaFont.face, 1},
                               {"31-unit face", longFace, 1},
                               {"all lower case", L"scriptfonts test alpha", 0},
                               {"all upper case", L"SCRIPTFONTS TEST ALPHA", 0},
                               {"a prefix", L"ScriptFonts Test Alph", 0},
                               {"a trailing space", L"ScriptFonts Test Alpha ", 0},
                               {"empty name", L"", 0},
                               {"a face nobody registered", betaFont.face, 0},
                               // A name cut to the field would be the face.
                               {"32 units: the 31-unit face and one more", longFace + L"s", 0},
                               {"32 CJK units", std::wstring(32, L'\u5b57'), 0},
                               {"300 units", longFace + std::wstring(300 - 31, L'x'), 0},
                               // Nothing above harmed the process or the next lookup.
                               {"31-unit face after the long names", longFace, 1},
                           });

    EXPECT_TRUE(wroteResult(library.call("unRegisterFont", toUtf8(alphaPath)), 0));
    EXPECT_TRUE(wroteResult(library.call("unRegisterFont", toUtf8(longNamePath)), 0));
    expectLookups(library, {{"after removal", alphaFont.face, 0}, {"31-unit face after removal", longFace, 0}});
}

}  // namespace
}  // namespace scriptfonts::test
