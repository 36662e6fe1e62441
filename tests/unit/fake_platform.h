// A stand-in for src/platform/platform.h that records every call the core
// makes, answers as configured, and keeps account of every snapshot and
// device context it hands out so that a leak or a double release shows.
// Shared by the unit tests, the fuzzer and the benchmark. Its state is one
// global, like the platform it replaces: use it from one thread at a time.
#pragma once

#include <cstddef>
#include <cstdint>
#include <iosfwd>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"

namespace scriptfonts::fake {

enum class Call {
    utf8ToUtf16,
    sameFileName,
    addFontResource,
    removeFontResource,
    broadcastFontChange,
    currentProcessId,
    currentExecutablePath,
    createProcessSnapshot,
    closeHandle,
    firstProcess,
    nextProcess,
    forEachTopLevelWindow,
    windowProcessId,
    sendFontChange,
    postFontChange,
    getDC,
    releaseDC,
    enumerateFontFamilies,
};
const char* callName(Call call) noexcept;
std::ostream& operator<<(std::ostream& out, Call call);

struct RecordedCall {
    Call call;
    std::u16string text;       // path (the executable's as answered), face name, or sameFileName's first name
    std::u16string otherText;  // sameFileName's second name
    std::string bytes;         // utf8ToUtf16's input: all byteCount bytes
    void* handle = nullptr;    // snapshot, window or device context
    void* window = nullptr;    // getDC's and releaseDC's window
    std::uint8_t charset = 0;  // enumerateFontFamilies' request
    long long answer = 0;      // what the call returned (bools as 0 or 1); for enumerations, how many visited
};

struct Process {
    std::u16string exeFile;
    platform::ProcessId id;
};

struct Window {
    platform::WindowHandle handle;
    platform::ProcessId owner;
    bool sendFails = false;  // sendFontChange answers false, as for a hung or timed-out window
};

// A process id that no test puts in the snapshot.
constexpr platform::ProcessId unlistedProcess = 0x10000;

struct Options {
    int addFontResult = 1;
    std::map<std::u16string, int> addFontResultByPath;  // overrides addFontResult
    int removeFontResult = 1;
    std::map<std::u16string, int> removeFontResultByPath;
    platform::ProcessId currentProcess = unlistedProcess;  // the caller
    std::u16string executablePath = u"C:\\scriptfonts\\tests\\unit_tests.exe";  // the caller's; empty: unreadable
    bool snapshotFails = false;             // createProcessSnapshot answers the invalid value (void*)-1
    std::vector<Process> processes;         // in snapshot order
    std::vector<Window> windows;            // in enumeration order
    bool getDCFails = false;                // getDC answers null
    std::vector<std::u16string> faceNames;  // enumerated for every request
    // Wine's MultiByteToWideChar: a sequence cut off by the end of the input
    // swallows the rest, the NUL included: U+FFFD and no terminator.
    bool wineTruncationQuirk = false;
    // std::bad_alloc thrown when this call is entered. Only calls that are
    // allowed to throw qualify (see mayThrow).
    std::optional<Call> badAllocFrom;
    // False: calls are still recorded in order with their handles and
    // answers, but not the texts and bytes passed, so that a benchmark
    // measures the core rather than the recording.
    bool recordTexts = true;
};

bool mayThrow(Call call) noexcept;

// Forgets every call, open handle and misuse (keeping the memory the
// recording had); answers as `options` says from now on. Throws
// std::invalid_argument for a bad_alloc from a noexcept call.
void reset(Options options = {});
Options& options();  // to change answers between calls
// Forgets everything as reset() does and frees what the recording held, so
// that nothing of one fuzz input outlives it (libFuzzer's leak check).
void release();
// True while one of the stand-in's platform functions runs, so that a failing
// allocator can spare the recording and fail the library's own allocations.
bool insidePlatformCall() noexcept;

const std::vector<RecordedCall>& calls();
std::vector<RecordedCall> callsTo(Call call);
std::size_t countOf(Call call);
std::vector<std::u16string> textsPassedTo(Call call);
std::vector<void*> handlesPassedTo(Call call);
std::vector<void*> handlesAnsweredBy(Call call);  // snapshots or DCs given out, invalid ones excluded
// The calls in order, leaving out those named in `ignored`.
std::vector<Call> sequence(std::initializer_list<Call> ignored = {});

std::size_t openSnapshots();
std::size_t openDCs();
// One line per misuse: releasing or walking what was not given out or was
// already released, a DC released with another window than it came from, a
// face name that does not fit the request.
const std::vector<std::string>& misuses();

// MultiByteToWideChar(CP_UTF8, 0) over exactly these bytes, as Windows
// decodes them, or as Wine does when wineTruncationQuirk is set.
std::u16string decodeUtf8(std::string_view bytes, bool wineTruncationQuirk);

}  // namespace scriptfonts::fake
