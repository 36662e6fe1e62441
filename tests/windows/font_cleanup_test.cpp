// On Windows a killed test leaves its fonts in the session (under Wine they go
// with the process): the tests after it start by withdrawing them, and only
// them, instead of failing on faces that are already there.
#include <gtest/gtest.h>

#include <windows.h>

#include <filesystem>

#include "support/font_catalog.h"
#include "support/font_cleanup.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

TEST(FontCleanup, WithdrawsWhatKilledRunsLeftBeforeATestLooks) {
    // Added here as killed runs leave them: a committed font twice, a copy in
    // the scratch folder of a process that has ended (no process has id 0),
    // and one in this process's own.
    const std::filesystem::path endedRun =
        std::filesystem::temp_directory_path() / (temporaryDirectoryPrefix + std::wstring(L"0-0"));
    std::filesystem::create_directories(endedRun);
    const std::wstring endedRunCopy = (endedRun / gammaFont.fileName).wstring();
    std::filesystem::copy_file(testFontPath(gammaFont.fileName), endedRunCopy,
                               std::filesystem::copy_options::overwrite_existing);
    const TemporaryDirectory running;
    const std::wstring runningCopy = running.copyIn(testFontPath(betaFont.fileName), L"left-over.ttf");
    const std::wstring committed = testFontPath(alphaFont.fileName);
    for (const std::wstring* path : {&committed, &committed, &endedRunCopy, &runningCopy}) {
        ASSERT_NE(AddFontResourceW(path->c_str()), 0) << toUtf8(*path);
    }

    EXPECT_GE(removeLeftoversOfEndedRuns(), 3) << "additions withdrawn";
    EXPECT_FALSE(std::filesystem::exists(endedRun)) << "the ended run's scratch folder is still there";
    EXPECT_TRUE(faceInstalled(betaFont.face)) << "a running process's scratch folder was swept";
    const FontCleanup cleanup(runningCopy);
    for (const TestFont& font : {alphaFont, betaFont, gammaFont}) {
        EXPECT_FALSE(faceInstalled(font.face)) << toUtf8(font.face);
    }
}

}  // namespace
}  // namespace scriptfonts::test
