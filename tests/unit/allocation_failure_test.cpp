// Real memory exhaustion at every allocation the library makes in a call:
// the global allocator of this program fails on request, and the platform
// stand-in here allocates nothing, so every failure lands in the library.
// What must hold: status statusOutOfMemory with the record untouched, or
// statusOk; nothing left open; a list that was entered is still announced.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "platform/platform.h"
#include "repeated_text.h"
#include "scriptfonts.h"

namespace {

int allocationsBeforeFailure = -1;  // -1: never fail
bool allocationFailed = false;

}  // namespace

void* operator new(std::size_t size) {
    if (allocationsBeforeFailure == 0) {
        allocationsBeforeFailure = -1;
        allocationFailed = true;
        throw std::bad_alloc{};
    }
    if (allocationsBeforeFailure > 0) --allocationsBeforeFailure;
    if (void* block = std::malloc(size == 0 ? 1 : size)) return block;
    throw std::bad_alloc{};
}
void operator delete(void* block) noexcept { std::free(block); }
void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace scriptfonts::platform {
namespace {

struct Counts {
    int additions, broadcasts, openSnapshots, openDCs;
};
Counts counts;
char snapshotToken, dcToken;
constexpr ProcessId hostId = 7;

}  // namespace

int utf8ToUtf16(const char* bytes, int byteCount, char16_t* out, int outCapacity) noexcept {
    // The test's text is ASCII: one unit per byte.
    if (out != nullptr) {
        for (int i = 0; i < byteCount && i < outCapacity; ++i) out[i] = static_cast<unsigned char>(bytes[i]);
    }
    return byteCount;
}
bool sameFileName(const char16_t* a, const char16_t* b) noexcept { return std::u16string_view(a) == b; }
int addFontResource(const char16_t*) noexcept { return ++counts.additions; }
int removeFontResource(const char16_t*) noexcept { return 1; }
void broadcastFontChange() noexcept { ++counts.broadcasts; }
ProcessId currentProcessId() noexcept { return hostId; }
std::u16string currentExecutablePath() noexcept { return {}; }  // unreadable, so nothing is allocated
NativeHandle createProcessSnapshot() noexcept {
    ++counts.openSnapshots;
    return &snapshotToken;
}
void closeHandle(NativeHandle) noexcept { --counts.openSnapshots; }
bool firstProcess(NativeHandle, ProcessEntry& entry) noexcept {
    std::memcpy(entry.exeFile, u"Photoshop.exe", sizeof u"Photoshop.exe");
    entry.id = hostId;
    return true;
}
bool nextProcess(NativeHandle, ProcessEntry&) noexcept { return false; }
void forEachTopLevelWindow(WindowVisitor visit, void* context) { visit(&snapshotToken, context); }
ProcessId windowProcessId(WindowHandle) noexcept { return hostId; }
bool sendFontChange(WindowHandle) noexcept { return true; }
void postFontChange(WindowHandle) noexcept {}
DeviceContext getDC(WindowHandle) noexcept {
    ++counts.openDCs;
    return &dcToken;
}
void releaseDC(WindowHandle, DeviceContext) noexcept { --counts.openDCs; }
void enumerateFontFamilies(DeviceContext, const FontRequest& request, FontVisitor visit, void* context) {
    visit(request.faceName, context);
}

}  // namespace scriptfonts::platform

namespace {

using scriptfonts::platform::counts;

// Long enough that no copy fits in a string's inline buffer.
const char* const longPath = "C:\\Program Files\\Common Files\\Fonts\\Scriptfonts Test.ttf";
const char* const longList =
    "C:\\Program Files\\Common Files\\Fonts\\First Font.ttf,,"
    "C:\\Program Files\\Common Files\\Fonts\\Second Font.ttf";
const char* const faceName = "Scriptfonts Sample Lantern";

struct Case {
    const char* name;
    ScriptFunction function;
    const char* argument;
};

TEST(AllocationFailure, EveryAllocationOfEveryFunctionFailsCleanly) {
    const Case cases[] = {
        {"registerFont", registerFont, longPath},     {"registerFontA", registerFontA, longPath},
        {"unRegisterFont", unRegisterFont, longPath}, {"registerFonts", registerFonts, longList},
        {"findFontByName", findFontByName, faceName},
    };
    for (const Case& c : cases) {
        int failuresSeen = 0;
        for (int failAt = 0;; ++failAt) {
            SCOPED_TRACE(std::string(c.name) + ", allocation " + std::to_string(failAt) + " fails");
            counts = {};
            TaggedValue argument{};
            argument.value.string = c.argument;
            argument.tag = tagString;
            TaggedValue result;
            std::memset(&result, 0xA5, sizeof result);
            const TaggedValue before = result;

            allocationFailed = false;
            allocationsBeforeFailure = failAt;
            const std::int32_t status = c.function(&argument, 1, &result);
            allocationsBeforeFailure = -1;

            EXPECT_EQ(counts.openSnapshots, 0);
            EXPECT_EQ(counts.openDCs, 0);
            if (!allocationFailed) {
                EXPECT_EQ(status, statusOk);
                EXPECT_EQ(result.tag, tagInteger);
                break;
            }
            ++failuresSeen;
            EXPECT_EQ(status, statusOutOfMemory);
            EXPECT_EQ(std::memcmp(&result, &before, sizeof result), 0) << "the record was written";
            if (c.function == registerFonts) {
                // Pieces already added are announced; a list never reached is not.
                EXPECT_LE(counts.broadcasts, 1);
                if (counts.additions > 0) EXPECT_EQ(counts.broadcasts, 1) << counts.additions << " added";
            }
        }
        // The copy of the text alone allocates, so at least that one failed.
        EXPECT_GT(failuresSeen, 0) << c.name;
    }
}

// The longest text the platform's count takes, INT32_MAX - 1 bytes and the
// NUL, is accepted: the call gets as far as its copy, whose allocation fails
// here instead of taking 2 GiB. A limit one byte short would answer 20.
TEST(AllocationFailure, TheLongestAcceptedTextIsCopiedNotRefused) {
    const scriptfonts::test::RepeatedText longest(std::size_t{INT32_MAX} - 1);
    ASSERT_NE(longest.text(), nullptr) << "could not map 2 GiB of text";
    for (const Case& c : {Case{"registerFont", registerFont, nullptr}, Case{"registerFonts", registerFonts, nullptr},
                          Case{"findFontByName", findFontByName, nullptr}}) {
        SCOPED_TRACE(c.name);
        counts = {};
        TaggedValue argument{};
        argument.value.string = longest.text();
        argument.tag = tagString;
        TaggedValue result;
        std::memset(&result, 0xA5, sizeof result);
        const TaggedValue before = result;

        allocationFailed = false;
        allocationsBeforeFailure = 0;
        const std::int32_t status = c.function(&argument, 1, &result);
        allocationsBeforeFailure = -1;

        EXPECT_EQ(status, statusOutOfMemory) << "20 would mean refused as too long";
        EXPECT_TRUE(allocationFailed);
        EXPECT_EQ(std::memcmp(&result, &before, sizeof result), 0) << "the record was written";
        EXPECT_EQ(counts.additions + counts.broadcasts + counts.openSnapshots + counts.openDCs, 0);
    }
}

}  // namespace
