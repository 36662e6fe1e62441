// unRegisterFont under the real font table: the face goes, the result is
// always 0, and exactly one broadcast follows a successful removal only.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "support/call_checks.h"
#include "support/font_catalog.h"
#include "support/font_change_counter.h"
#include "support/font_cleanup.h"
#include "support/script_library.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

// Whether it worked shows in the face being enumerated afterwards.
using AddFont = void (*)(const ScriptLibrary& library, const std::wstring& path);

struct AddedFontCase {
    const char* addedBy;
    TestFont font;
    AddFont add;
};

const AddedFontCase addedFontCases[] = {
    {"registerFonts", alphaFont,
     [](const ScriptLibrary& library, const std::wstring& path) {
         EXPECT_TRUE(wroteResult(library.call("registerFonts", toUtf8(path)), 1));
     }},
    {"registerFont, non-ASCII path", unicodeFont,
     [](const ScriptLibrary& library, const std::wstring& path) {
         EXPECT_TRUE(wroteResult(library.call("registerFont", toUtf8(path)), 1));
     }},
    {"another party, straight through AddFontResourceW", betaFont,
     [](const ScriptLibrary&, const std::wstring& path) {
         EXPECT_NE(AddFontResourceW(path.c_str()), 0) << "error " << GetLastError();
     }},
};

TEST(FontRemoval, WithdrawsAFontHoweverItWasAddedAndBroadcastsOnce) {
    const ScriptLibrary library;
    FontChangeCounter counter;
    for (const AddedFontCase& added : addedFontCases) {
        SCOPED_TRACE(added.addedBy);
        const std::wstring path = testFontPath(added.font.fileName);
        const std::string utf8Path = toUtf8(path);
        const FontCleanup cleanup(path);

        ASSERT_FALSE(faceInstalled(added.font.face)) << "before adding";
        added.add(library, path);
        ASSERT_TRUE(faceInstalled(added.font.face)) << "after adding";
        counter.takeCount();  // what the adding broadcast is not the removal's

        EXPECT_TRUE(wroteResult(library.call("unRegisterFont", utf8Path), 0));
        EXPECT_EQ(counter.takeCount(), 1) << "broadcasts after the removal";
        EXPECT_FALSE(faceInstalled(added.font.face)) << "after the removal";

        // Gone already, so this removal fails: same result, nobody told.
        EXPECT_TRUE(wroteResult(library.call("unRegisterFont", utf8Path), 0)) << "second removal";
        EXPECT_EQ(counter.takeCount(), 0) << "broadcasts after the second removal";
    }
}

TEST(FontRemoval, FailedRemovalReportsZeroAndBroadcastsNothing) {
    const ScriptLibrary library;
    FontChangeCounter counter;
    const TemporaryDirectory directory;
    const FontCleanup neverAdded(testFontPath(deltaFont.fileName));  // not by a killed run either
    const struct {
        const char* label;
        std::string path;
    } failedRemovals[] = {
        {"a font file that was never added", toUtf8(testFontPath(deltaFont.fileName))},
        {"a file that does not exist", toUtf8(directory.path() + L"\\missing.ttf")},
        {"an empty path", ""},
    };
    for (const auto& removal : failedRemovals) {
        SCOPED_TRACE(removal.label);
        EXPECT_TRUE(wroteResult(library.call("unRegisterFont", removal.path), 0));
        EXPECT_EQ(counter.takeCount(), 0) << "broadcasts";
    }
}

}  // namespace
}  // namespace scriptfonts::test
