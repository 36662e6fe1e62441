// The font work of the five script functions, seen through the calls they
// make to the platform.
#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "unit_test_support.h"

namespace scriptfonts::test {
namespace {

using fake::Call;

class FontWork : public UnitTest {};

void* window(std::uintptr_t id) { return reinterpret_cast<void*>(id); }

// Two windows each for processes 10 and 20, one for 30, interleaved.
const std::vector<fake::Window> desktop = {
    {window(0xA), 10}, {window(0xB), 20}, {window(0xC), 10}, {window(0xD), 30}, {window(0xE), 20},
};

TEST_F(FontWork, RegisteringTellsTheCallingHostElseTheFirstFound) {
    constexpr platform::ProcessId none = 0;
    struct Case {
        const char* name;
        ScriptFunction function;
        int addResult;
        bool snapshotFails;
        std::vector<fake::Process> processes;
        std::int32_t expected;
        std::size_t entriesAsked;    // firstProcess and nextProcess calls
        platform::ProcessId toldId;  // the process whose windows are told
        platform::ProcessId caller = fake::unlistedProcess;
        const char16_t* executablePath = nullptr;  // the caller's; null: a test program's
        bool toldDirectly = false;                 // the caller's own name answers: no snapshot
    };
    const Case cases[] = {
        {"addition fails", registerFont, 0, false, {{u"Photoshop.exe", 10}}, 0, 0, none},
        {"snapshot unavailable", registerFont, 1, true, {{u"Photoshop.exe", 10}}, 1, 0, none},
        {"no processes", registerFont, 1, false, {}, 1, 1, none},
        {"host not running", registerFont, 1, false, {{u"explorer.exe", 4}, {u"Illustrator.exe", 20}}, 1, 3, none},
        {"names that only contain the host's", registerFont, 1, false,
         {{u"Photoshop.exe.bak", 10}, {u"Photoshop", 10}, {u"xPhotoshop.exe", 10}}, 1, 4, none},
        {"host found", registerFont, 1, false, {{u"explorer.exe", 4}, {u"Photoshop.exe", 10}}, 1, 3, 10},
        // A collection: AddFontResourceW counts the fonts it added, the result stays 1.
        {"two fonts added from one file", registerFont, 2, false, {{u"Photoshop.exe", 10}}, 1, 2, 10},
        {"Illustrator variant, three fonts added", registerFontA, 3, false, {{u"Illustrator.exe", 20}}, 1, 2, 20},
        {"two hosts, called from elsewhere: the first one only", registerFont, 1, false,
         {{u"Photoshop.exe", 20}, {u"Photoshop.exe", 10}}, 1, 3, 20},
        // Called from a host: that one, wherever it is listed; the walk ends there.
        {"two hosts, called from the second", registerFont, 1, false,
         {{u"Photoshop.exe", 20}, {u"Photoshop.exe", 10}}, 1, 2, 10, 10},
        {"Illustrator variant called from Photoshop", registerFontA, 1, false,
         {{u"Photoshop.exe", 10}, {u"Illustrator.exe", 20}}, 1, 3, 20, 10},
        {"upper-case executable name", registerFont, 1, false, {{u"PHOTOSHOP.EXE", 10}}, 1, 2, 10},
        {"host without windows", registerFont, 1, false, {{u"Photoshop.exe", 99}}, 1, 2, 99},
        {"Illustrator variant", registerFontA, 1, false, {{u"Photoshop.exe", 10}, {u"Illustrator.exe", 20}}, 1, 3, 20},
        {"Illustrator variant, only Photoshop running", registerFontA, 1, false, {{u"Photoshop.exe", 10}}, 1, 2, none},
        // Called from a process whose own executable is the host's: told at once.
        {"inside the host, no snapshot to be had", registerFont, 1, true, {}, 1, 0, 10, 10,
         u"\\\\?\\C:\\Adobe/photoshop.EXE", true},
        {"inside Illustrator, a bare file name", registerFontA, 1, false,
         {{u"Illustrator.exe", 30}, {u"Illustrator.exe", 20}}, 1, 0, 20, 20, u"ILLUSTRATOR.exe", true},
        {"caller's name unreadable", registerFont, 1, false, {{u"Photoshop.exe", 20}, {u"Photoshop.exe", 10}}, 1, 2,
         10, 10, u""},
        {"called from Illustrator", registerFont, 1, false, {{u"Photoshop.exe", 10}, {u"Illustrator.exe", 20}}, 1, 3,
         10, 20, u"C:\\Adobe\\Illustrator.exe"},
        {"a folder named as the host", registerFont, 1, false, {{u"Photoshop.exe", 10}}, 1, 2, 10, 30,
         u"C:\\Photoshop.exe\\helper.exe"},
        {"a name that only ends in the host's", registerFont, 1, false, {{u"Photoshop.exe", 10}}, 1, 2, 10, 30,
         u"C:\\Tools\\MyPhotoshop.exe"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Options options;
        options.addFontResult = c.addResult;
        options.snapshotFails = c.snapshotFails;
        options.processes = c.processes;
        options.currentProcess = c.caller;
        if (c.executablePath != nullptr) options.executablePath = c.executablePath;
        options.windows = desktop;
        fake::reset(options);

        const Outcome outcome = callWith(c.function, "C:\\fonts\\a.ttf");
        EXPECT_EQ(outcome.status, statusOk);
        EXPECT_EQ(outcome.result.value.integer, c.expected);
        EXPECT_EQ(fake::textsPassedTo(Call::addFontResource), std::vector<std::u16string>{u"C:\\fonts\\a.ttf"});
        EXPECT_EQ(fake::countOf(Call::currentExecutablePath), c.addResult != 0 ? 1u : 0u);
        EXPECT_EQ(fake::countOf(Call::createProcessSnapshot), c.addResult != 0 && !c.toldDirectly ? 1u : 0u);
        EXPECT_EQ(fake::countOf(Call::firstProcess) + fake::countOf(Call::nextProcess), c.entriesAsked);
        // Closed exactly once when it was had; the invalid value never closed.
        EXPECT_EQ(fake::handlesPassedTo(Call::closeHandle), fake::handlesAnsweredBy(Call::createProcessSnapshot));

        std::vector<void*> examined, told;
        for (const fake::Window& w : desktop) {
            if (c.toldId != none) examined.push_back(w.handle);
            if (w.owner == c.toldId) told.push_back(w.handle);
        }
        EXPECT_EQ(fake::handlesPassedTo(Call::windowProcessId), examined) << "every window, once a host is found";
        EXPECT_EQ(fake::handlesPassedTo(Call::sendFontChange), told);
        EXPECT_EQ(fake::countOf(Call::broadcastFontChange), 0u);
    }
}

TEST_F(FontWork, AHostWindowWhoseSendFailsHasTheMessagePostedToIt) {
    using Told = std::pair<Call, void*>;
    const Told sendA{Call::sendFontChange, window(0xA)}, postA{Call::postFontChange, window(0xA)};
    const Told sendC{Call::sendFontChange, window(0xC)}, postC{Call::postFontChange, window(0xC)};
    struct Case {
        const char* name;
        std::vector<void*> failing;  // windows whose send times out or is skipped as hung
        std::vector<Told> expected;
    };
    const Case cases[] = {
        {"every send handled", {}, {sendA, sendC}},
        {"first window's send fails", {window(0xA)}, {sendA, postA, sendC}},
        {"second window's send fails", {window(0xC)}, {sendA, sendC, postC}},
        {"both fail", {window(0xA), window(0xC)}, {sendA, postA, sendC, postC}},
        {"another process's window would fail", {window(0xB)}, {sendA, sendC}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Options options;
        options.processes = {{u"Photoshop.exe", 10}};
        options.windows = desktop;
        for (fake::Window& w : options.windows) {
            w.sendFails = std::find(c.failing.begin(), c.failing.end(), w.handle) != c.failing.end();
        }
        fake::reset(options);

        const Outcome outcome = callWith(registerFont, "C:\\fonts\\a.ttf");
        EXPECT_EQ(outcome.status, statusOk);
        EXPECT_EQ(outcome.result.value.integer, 1);
        std::vector<Told> told;
        for (const fake::RecordedCall& call : fake::calls()) {
            if (call.call == Call::sendFontChange || call.call == Call::postFontChange) {
                told.emplace_back(call.call, call.handle);
            }
        }
        EXPECT_EQ(told, c.expected);
        EXPECT_EQ(fake::countOf(Call::broadcastFontChange), 0u);
    }
}

TEST_F(FontWork, RegisteringAListAddsEveryPieceThenBroadcastsOnce) {
    struct Case {
        const char* list;
        std::vector<std::u16string> added;
    };
    const Case cases[] = {
        {"a.ttf,b.ttf", {u"a.ttf", u"b.ttf"}},
        {"a.ttf,", {u"a.ttf", u""}},
        {"a.ttf,,b.ttf", {u"a.ttf", u"", u"b.ttf"}},
        {"a.ttf, b.ttf", {u"a.ttf", u" b.ttf"}},
        {"", {u""}},
        {",", {u"", u""}},
        {"C:\\字体.ttf,ünï.otf", {u"C:\\字体.ttf", u"ünï.otf"}},
        {"a\xFF,b", {u"a\uFFFD", u"b"}},
        {"a\xE6,b\xF0\x9F", {u"a\uFFFD", u"b\uFFFD"}},  // each piece cut off inside a sequence
    };
    // Every addition failing changes nothing; nor does Wine's decoder.
    for (const auto& [addResult, wine] : {std::pair{1, false}, std::pair{0, true}}) {
        for (const Case& c : cases) {
            SCOPED_TRACE(std::string("\"") + c.list + "\", additions answering " + std::to_string(addResult) +
                         (wine ? ", Wine's decoder" : ""));
            fake::reset();
            fake::options().addFontResult = addResult;
            fake::options().wineTruncationQuirk = wine;
            const Outcome outcome = callWith(registerFonts, c.list);
            EXPECT_EQ(outcome.status, statusOk);
            EXPECT_EQ(outcome.result.value.integer, 1);
            EXPECT_EQ(fake::textsPassedTo(Call::addFontResource), c.added);
            std::vector<Call> expected(c.added.size(), Call::addFontResource);
            expected.push_back(Call::broadcastFontChange);
            EXPECT_EQ(fake::sequence({Call::utf8ToUtf16}), expected);
        }
    }
}

TEST_F(FontWork, RemovalBroadcastsOnlyWhenItSucceeds) {
    for (const int removeResult : {1, 7, 0}) {
        SCOPED_TRACE("removal answering " + std::to_string(removeResult));
        fake::reset();
        fake::options().removeFontResult = removeResult;
        const Outcome outcome = callWith(unRegisterFont, "C:\\fonts\\a.ttf");
        EXPECT_EQ(outcome.status, statusOk);
        EXPECT_EQ(outcome.result.value.integer, 0);
        EXPECT_EQ(fake::textsPassedTo(Call::removeFontResource), std::vector<std::u16string>{u"C:\\fonts\\a.ttf"});
        std::vector<Call> expected = {Call::removeFontResource};
        if (removeResult != 0) expected.push_back(Call::broadcastFontChange);
        EXPECT_EQ(fake::sequence({Call::utf8ToUtf16}), expected);
    }
}

TEST_F(FontWork, LookupMatchesTheExactFaceNameAndReleasesTheScreenDC) {
    const std::string units31(31, 'n');
    const std::string units32(32, 'n');
    const std::string units300(300, 'n');
    std::string sixteenBeyondBmp;  // 16 characters, 32 units
    for (int i = 0; i < 16; ++i) sixteenBeyondBmp += "\xF0\x9F\x98\x80";
    const std::vector<std::u16string> installed = {u"Beta", u"Alpha Sans", u"Gamma", std::u16string(31, u'n')};
    struct Case {
        const char* name;
        std::string utf8;
        bool getDCFails;
        std::vector<std::u16string> faces;
        std::int32_t expected;
        bool enumerates;
        long long facesSeen;  // the enumeration stops at the match
    };
    const Case cases[] = {
        {"exact name", "Alpha Sans", false, installed, 1, true, 2},
        {"other letter case", "alpha sans", false, installed, 0, true, 4},
        {"a prefix", "Alpha", false, installed, 0, true, 4},
        {"a longer name", "Alpha Sans Bold", false, installed, 0, true, 4},
        {"empty name", "", false, installed, 0, true, 4},
        {"31 units", units31, false, installed, 1, true, 4},
        {"nothing enumerated", "Alpha Sans", false, {}, 0, true, 0},
        {"32 units", units32, false, installed, 0, false, 0},
        {"300 units", units300, false, installed, 0, false, 0},
        {"16 characters beyond the BMP", sixteenBeyondBmp, false, installed, 0, false, 0},
        {"no screen DC", "Alpha Sans", true, installed, 0, false, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        fake::Options options;
        options.getDCFails = c.getDCFails;
        options.faceNames = c.faces;
        fake::reset(options);

        const Outcome outcome = callWith(findFontByName, c.utf8.c_str());
        EXPECT_EQ(outcome.status, statusOk);
        EXPECT_EQ(outcome.result.value.integer, c.expected);

        const auto enumerations = fake::callsTo(Call::enumerateFontFamilies);
        ASSERT_EQ(enumerations.size(), c.enumerates ? 1u : 0u);
        if (c.enumerates) {
            EXPECT_EQ(enumerations[0].charset, 1);
            EXPECT_EQ(enumerations[0].text, fake::decodeUtf8(c.utf8, false));
            EXPECT_EQ(enumerations[0].answer, c.facesSeen) << "faces the callback saw";
        }
        const bool longName = c.utf8.size() >= 32;
        EXPECT_EQ(fake::countOf(Call::getDC), longName ? 0u : 1u);
        for (const fake::RecordedCall& get : fake::callsTo(Call::getDC)) EXPECT_EQ(get.window, nullptr);
        // Released exactly once, with the window it came from (the screen).
        EXPECT_EQ(fake::handlesPassedTo(Call::releaseDC), fake::handlesAnsweredBy(Call::getDC));
    }
}

}  // namespace
}  // namespace scriptfonts::test
