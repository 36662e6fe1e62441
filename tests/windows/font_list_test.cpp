// registerFonts under the real font table: every real font of a list is added
// whatever else the list holds, the result is always 1, and each call is
// followed by exactly one broadcast.
#include <gtest/gtest.h>

#include <list>
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

// Every face a list below may add; each case checks all of them.
const TestFont everyListedFont[] = {alphaFont, betaFont, gammaFont, unicodeFont};

struct ListCase {
    const char* label;
    // Joined with ','; a file name stands for its full path under test-fonts,
    // an empty piece stays empty.
    std::vector<std::wstring> pieces;
    std::vector<TestFont> added;
};

const ListCase listCases[] = {
    {"two fonts joined by one comma", {alphaFont.fileName, betaFont.fileName}, {alphaFont, betaFont}},
    {"an empty piece, a non-ASCII piece and a trailing comma",
     {gammaFont.fileName, L"", unicodeFont.fileName, L""},
     {gammaFont, unicodeFont}},
    {"no file exists", {L"missing-one.ttf", L"missing-two.ttf"}, {}},
    {"empty text", {L""}, {}},
    {"a lone comma", {L"", L""}, {}},
};

std::string listText(const std::vector<std::wstring>& pieces) {
    std::string text;
    for (std::size_t i = 0; i < pieces.size(); ++i) {
        if (i > 0) text += ',';
        if (!pieces[i].empty()) text += toUtf8(testFontPath(pieces[i]));
    }
    return text;
}

bool listed(const std::vector<TestFont>& fonts, const TestFont& font) {
    for (const TestFont& candidate : fonts) {
        if (std::wstring(candidate.fileName) == font.fileName) return true;
    }
    return false;
}

void expectInstalledFaces(const std::vector<TestFont>& installed, const char* when) {
    for (const TestFont& font : everyListedFont) {
        EXPECT_EQ(faceInstalled(font.face), listed(installed, font))
            << toUtf8(font.face) << " installed " << when;
    }
}

TEST(FontList, AddsEveryRealFontOfTheListAndBroadcastsOncePerCall) {
    const ScriptLibrary library;
    FontChangeCounter counter;
    for (const ListCase& list : listCases) {
        SCOPED_TRACE(list.label);
        std::list<FontCleanup> cleanups;  // not movable, so not a vector
        for (const TestFont& font : list.added) cleanups.emplace_back(testFontPath(font.fileName));
        expectInstalledFaces({}, "before the call");
        const std::string text = listText(list.pieces);

        EXPECT_TRUE(wroteResult(library.call("registerFonts", text), 1)) << "list \"" << text << "\"";
        EXPECT_EQ(counter.takeCount(), 1) << "broadcasts after registerFonts";
        expectInstalledFaces(list.added, "after registerFonts");

        for (const TestFont& font : list.added) {
            EXPECT_TRUE(wroteResult(library.call("unRegisterFont", toUtf8(testFontPath(font.fileName))), 0));
        }
        EXPECT_EQ(counter.takeCount(), static_cast<int>(list.added.size())) << "broadcasts after the removals";
        expectInstalledFaces({}, "after unRegisterFont");
    }
}

}  // namespace
}  // namespace scriptfonts::test
