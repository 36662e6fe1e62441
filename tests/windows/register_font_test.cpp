// registerFont / registerFontA against running stand-in hosts: which host's
// windows hear of the new font, and that a failed addition tells nobody.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "support/case_name.h"
#include "support/font_cleanup.h"
#include "support/process_snapshot.h"
#include "support/script_library.h"
#include "support/stand_in_host.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

constexpr FontChangeCounts eachWindowToldOnce{1, 1};
constexpr FontChangeCounts noWindowTold{0, 0};
constexpr const wchar_t* hostExecutables[] = {L"Photoshop.exe", L"Illustrator.exe"};

enum class FontPath { committedFont, missingFile, empty };

struct HostCase {
    const char* name;
    const char* function;
    FontPath path;
    std::vector<const wchar_t*> hosts;  // started in this order, each as its own process
    std::int32_t expectedResult;
    std::vector<bool> told;  // per host: every window sent WM_FONTCHANGE once, or none
};

const HostCase hostCases[] = {
    {"EmptyPathTellsNobody", "registerFont", FontPath::empty, {L"Photoshop.exe"}, 0, {false}},
    {"MissingFileTellsNobody", "registerFont", FontPath::missingFile, {L"Photoshop.exe"}, 0, {false}},
    {"MissingFileTellsNoIllustrator", "registerFontA", FontPath::missingFile, {L"Illustrator.exe"}, 0, {false}},
    {"AddedWithNoHostRunning", "registerFont", FontPath::committedFont, {}, 1, {}},
    {"PhotoshopTold", "registerFont", FontPath::committedFont, {L"Photoshop.exe"}, 1, {true}},
    {"UpperCaseExecutableNameTold", "registerFont", FontPath::committedFont, {L"PHOTOSHOP.EXE"}, 1, {true}},
    {"IllustratorNotToldByRegisterFont",
     "registerFont",
     FontPath::committedFont,
     {L"Illustrator.exe", L"Photoshop.exe"},
     1,
     {false, true}},
    {"RegisterFontAWithOnlyPhotoshop", "registerFontA", FontPath::committedFont, {L"Photoshop.exe"}, 1, {false}},
    {"IllustratorTold", "registerFontA", FontPath::committedFont, {L"Illustrator.exe"}, 1, {true}},
    {"PhotoshopNotToldByRegisterFontA",
     "registerFontA",
     FontPath::committedFont,
     {L"Photoshop.exe", L"Illustrator.exe"},
     1,
     {false, true}},
};

std::wstring pathFor(FontPath path) {
    switch (path) {
        case FontPath::committedFont:
            return testFontPath(L"beta.ttf");
        case FontPath::missingFile:
            return testFontPath(L"no-such-font.ttf");
        case FontPath::empty:
            break;
    }
    return L"";
}

// Hosts left over from an earlier, killed run would take the messages meant for ours.
void expectNoHostRunning() {
    for (const wchar_t* executable : hostExecutables) {
        EXPECT_TRUE(processIdsNamed(executable).empty()) << toUtf8(executable) << " is already running";
    }
}

// The case only tests what it claims if the snapshot spells the name as we wrote it.
void expectSnapshotSpelling(const StandInHost& host) {
    const std::vector<RunningProcess> processes = runningProcesses();
    const auto entry = std::find_if(processes.begin(), processes.end(),
                                    [&](const RunningProcess& process) { return process.id == host.processId(); });
    ASSERT_NE(entry, processes.end()) << "process " << host.processId() << " missing from the snapshot";
    EXPECT_EQ(toUtf8(entry->exeFile), toUtf8(host.executableName()));
}

class RegisterFontHosts : public testing::TestWithParam<HostCase> {};

TEST_P(RegisterFontHosts, TellsExactlyTheMatchingHost) {
    const HostCase& test = GetParam();
    expectNoHostRunning();
    std::vector<std::unique_ptr<StandInHost>> hosts;
    for (const wchar_t* executable : test.hosts) {
        hosts.push_back(std::make_unique<StandInHost>(executable));
        ASSERT_TRUE(hosts.back()->running());
        expectSnapshotSpelling(*hosts.back());
    }
    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const std::wstring path = pathFor(test.path);
    FontCleanup cleanup(path);

    const CallOutcome outcome = library.call(test.function, toUtf8(path));

    EXPECT_EQ(outcome.status, statusOk);
    EXPECT_EQ(outcome.tag, tagInteger);
    EXPECT_EQ(outcome.result, test.expectedResult) << test.function << "(\"" << toUtf8(path) << "\")";
    for (std::size_t i = 0; i < hosts.size(); ++i) {
        const FontChangeCounts expected = test.told[i] ? eachWindowToldOnce : noWindowTold;
        const std::string host = toUtf8(hosts[i]->executableName()) + " (host " + std::to_string(i) + ")";
        EXPECT_EQ(hosts[i]->fontChanges(), expected) << "WM_FONTCHANGE per window of " << host;
        EXPECT_EQ(hosts[i]->sentFontChanges(), expected) << "WM_FONTCHANGE sent and waited for, per window of " << host;
    }
    // The font table holds the file exactly as often as the result says it was added.
    EXPECT_EQ(cleanup.removeAll(), test.expectedResult) << "removals of " << toUtf8(path);
}

INSTANTIATE_TEST_SUITE_P(Cases, RegisterFontHosts, testing::ValuesIn(hostCases), caseName<HostCase>);

TEST(RegisterFontTwoHosts, TellsOnlyTheFirstInSnapshotOrder) {
    expectNoHostRunning();
    const StandInHost one(L"Photoshop.exe");
    const StandInHost two(L"Photoshop.exe");
    ASSERT_TRUE(one.running());
    ASSERT_TRUE(two.running());
    const std::vector<DWORD> order = processIdsNamed(L"Photoshop.exe");
    ASSERT_EQ(order.size(), 2u);
    const bool bothOurs = (order[0] == one.processId() && order[1] == two.processId()) ||
                          (order[0] == two.processId() && order[1] == one.processId());
    ASSERT_TRUE(bothOurs) << "snapshot has processes " << order[0] << " and " << order[1] << ", started "
                          << one.processId() << " and " << two.processId();
    const StandInHost& first = order[0] == one.processId() ? one : two;
    const StandInHost& second = order[0] == one.processId() ? two : one;

    const ScriptLibrary library;
    ASSERT_NE(library.module(), nullptr);
    const std::wstring path = testFontPath(L"gamma.ttf");
    FontCleanup cleanup(path);
    const CallOutcome outcome = library.call("registerFont", toUtf8(path));

    EXPECT_EQ(outcome.status, statusOk);
    EXPECT_EQ(outcome.result, 1);
    const std::string firstHost = "first in snapshot order, process " + std::to_string(first.processId());
    EXPECT_EQ(first.sentFontChanges(), eachWindowToldOnce) << firstHost;
    EXPECT_EQ(first.fontChanges(), eachWindowToldOnce) << firstHost;
    EXPECT_EQ(second.fontChanges(), noWindowTold) << "second in snapshot order, process " << second.processId();
    EXPECT_EQ(cleanup.removeAll(), 1);
}

}  // namespace
}  // namespace scriptfonts::test
