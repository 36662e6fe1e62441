#include "fake_platform.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <new>
#include <ostream>
#include <stdexcept>

namespace scriptfonts::fake {
namespace {

constexpr char16_t replacementCharacter = u'\uFFFD';
constexpr std::uintptr_t firstSnapshot = 0x5a000;
constexpr std::uintptr_t firstDC = 0xdc000;
constexpr std::uintptr_t handleStride = 0x10;

void* const invalidHandle = reinterpret_cast<void*>(std::intptr_t{-1});

struct OpenState {
    bool open = true;
    std::size_t nextProcess = 0;  // snapshots: the entry nextProcess delivers
    void* window = nullptr;       // DCs: the window it came from
};

struct State {
    Options options;
    std::vector<RecordedCall> calls;
    std::map<void*, OpenState> snapshots;
    std::map<void*, OpenState> dcs;
    std::vector<std::string> misuses;
    std::uintptr_t handlesGiven = 0;
};

State& state() {
    static State instance;
    return instance;
}

// Marks the stand-in's platform functions, callbacks into the library included.
int platformCallDepth = 0;
struct InsidePlatformCall {
    InsidePlatformCall() noexcept { ++platformCallDepth; }
    ~InsidePlatformCall() { --platformCallDepth; }
    InsidePlatformCall(const InsidePlatformCall&) = delete;
    InsidePlatformCall& operator=(const InsidePlatformCall&) = delete;
};

RecordedCall& record(Call call) {
    RecordedCall entry;
    entry.call = call;
    return state().calls.emplace_back(std::move(entry));
}

void misuse(std::string what) { state().misuses.push_back(std::move(what)); }

const Window* knownWindow(const void* handle) {
    const auto& windows = state().options.windows;
    const auto found = std::find_if(windows.begin(), windows.end(),
                                    [handle](const Window& known) { return known.handle == handle; });
    return found == windows.end() ? nullptr : &*found;
}

void* newHandle(std::uintptr_t base) { return reinterpret_cast<void*>(base + handleStride * ++state().handlesGiven); }

std::string describe(const void* handle) {
    char text[2 + 2 * sizeof(void*) + 1];
    const auto value = static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(handle));
    std::snprintf(text, sizeof text, "0x%llx", value);
    return text;
}

std::u16string terminated(const char16_t* text) { return text == nullptr ? std::u16string{} : std::u16string{text}; }

void keepText(std::u16string& field, const char16_t* text) {
    if (state().options.recordTexts) field = terminated(text);
}

void throwIfChosen(Call call) {
    if (state().options.badAllocFrom == call) throw std::bad_alloc{};
}

int answerFor(const std::map<std::u16string, int>& byPath, int fallback, const char16_t* path) {
    if (byPath.empty()) return fallback;
    const auto found = byPath.find(terminated(path));
    return found == byPath.end() ? fallback : found->second;
}

// A call that takes a path and answers as configured for it.
int recordPathCall(Call call, const std::map<std::u16string, int>& byPath, int fallback, const char16_t* path) {
    RecordedCall& recorded = record(call);
    keepText(recorded.text, path);
    const int answer = answerFor(byPath, fallback, path);
    recorded.answer = answer;
    return answer;
}

// The snapshot's next entry, when the handle is one of ours and still open.
bool deliverProcess(Call call, platform::NativeHandle snapshot, platform::ProcessEntry& entry, bool fromStart) {
    RecordedCall& recorded = record(call);
    recorded.handle = snapshot;
    const auto found = state().snapshots.find(snapshot);
    if (found == state().snapshots.end() || !found->second.open) {
        misuse(std::string(callName(call)) + " on a snapshot that is not open: " + describe(snapshot));
        return false;
    }
    std::size_t& cursor = found->second.nextProcess;
    if (fromStart) cursor = 0;
    const auto& processes = state().options.processes;
    if (cursor >= processes.size()) return false;

    const Process& process = processes[cursor++];
    const std::size_t length = std::min(process.exeFile.size(), platform::ProcessEntry::exeFileCapacity - 1);
    std::copy_n(process.exeFile.begin(), length, entry.exeFile);
    entry.exeFile[length] = u'\0';
    entry.id = process.id;
    keepText(recorded.text, entry.exeFile);
    recorded.answer = 1;
    return true;
}

char16_t foldAscii(char16_t unit) { return unit >= u'A' && unit <= u'Z' ? static_cast<char16_t>(unit + 32) : unit; }

void appendCodePoint(std::u16string& out, std::uint32_t codePoint) {
    if (codePoint < 0x10000) {
        out.push_back(static_cast<char16_t>(codePoint));
        return;
    }
    codePoint -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (codePoint >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (codePoint & 0x3FF)));
}

}  // namespace

const char* callName(Call call) noexcept {
    switch (call) {
        case Call::utf8ToUtf16:
            return "utf8ToUtf16";
        case Call::sameFileName:
            return "sameFileName";
        case Call::addFontResource:
            return "addFontResource";
        case Call::removeFontResource:
            return "removeFontResource";
        case Call::broadcastFontChange:
            return "broadcastFontChange";
        case Call::currentProcessId:
            return "currentProcessId";
        case Call::currentExecutablePath:
            return "currentExecutablePath";
        case Call::createProcessSnapshot:
            return "createProcessSnapshot";
        case Call::closeHandle:
            return "closeHandle";
        case Call::firstProcess:
            return "firstProcess";
        case Call::nextProcess:
            return "nextProcess";
        case Call::forEachTopLevelWindow:
            return "forEachTopLevelWindow";
        case Call::windowProcessId:
            return "windowProcessId";
        case Call::sendFontChange:
            return "sendFontChange";
        case Call::postFontChange:
            return "postFontChange";
        case Call::getDC:
            return "getDC";
        case Call::releaseDC:
            return "releaseDC";
        case Call::enumerateFontFamilies:
            return "enumerateFontFamilies";
    }
    return "?";
}

std::ostream& operator<<(std::ostream& out, Call call) { return out << callName(call); }

bool mayThrow(Call call) noexcept { return call == Call::forEachTopLevelWindow || call == Call::enumerateFontFamilies; }

void reset(Options options) {
    if (options.badAllocFrom && !mayThrow(*options.badAllocFrom)) {
        throw std::invalid_argument(std::string(callName(*options.badAllocFrom)) + " is noexcept");
    }
    std::vector<RecordedCall> calls = std::move(state().calls);
    calls.clear();
    state() = State{};
    state().calls = std::move(calls);
    state().options = std::move(options);
}

Options& options() { return state().options; }

void release() { state() = State{}; }

bool insidePlatformCall() noexcept { return platformCallDepth > 0; }

const std::vector<RecordedCall>& calls() { return state().calls; }

std::vector<RecordedCall> callsTo(Call call) {
    std::vector<RecordedCall> matching;
    std::copy_if(state().calls.begin(), state().calls.end(), std::back_inserter(matching),
                 [call](const RecordedCall& recorded) { return recorded.call == call; });
    return matching;
}

std::size_t countOf(Call call) {
    return static_cast<std::size_t>(
        std::count_if(state().calls.begin(), state().calls.end(),
                      [call](const RecordedCall& recorded) { return recorded.call == call; }));
}

std::vector<std::u16string> textsPassedTo(Call call) {
    std::vector<std::u16string> texts;
    for (const RecordedCall& recorded : callsTo(call)) texts.push_back(recorded.text);
    return texts;
}

std::vector<void*> handlesPassedTo(Call call) {
    std::vector<void*> handles;
    for (const RecordedCall& recorded : callsTo(call)) handles.push_back(recorded.handle);
    return handles;
}

std::vector<void*> handlesAnsweredBy(Call call) {
    std::vector<void*> handles;
    for (const RecordedCall& recorded : callsTo(call)) {
        void* const handle = reinterpret_cast<void*>(static_cast<std::intptr_t>(recorded.answer));
        if (handle != nullptr && handle != invalidHandle) handles.push_back(handle);
    }
    return handles;
}

std::vector<Call> sequence(std::initializer_list<Call> ignored) {
    std::vector<Call> order;
    for (const RecordedCall& recorded : state().calls) {
        if (std::find(ignored.begin(), ignored.end(), recorded.call) == ignored.end()) order.push_back(recorded.call);
    }
    return order;
}

std::size_t openSnapshots() {
    return static_cast<std::size_t>(std::count_if(state().snapshots.begin(), state().snapshots.end(),
                                                  [](const auto& snapshot) { return snapshot.second.open; }));
}

std::size_t openDCs() {
    return static_cast<std::size_t>(
        std::count_if(state().dcs.begin(), state().dcs.end(), [](const auto& dc) { return dc.second.open; }));
}

const std::vector<std::string>& misuses() { return state().misuses; }

// Malformed input becomes U+FFFD as MultiByteToWideChar makes it (checked
// under Wine): one for the lead byte and the continuation bytes taken so
// far. A byte that is no continuation byte is not taken, and starts the next
// sequence; a continuation byte that shows the sequence to be overlong, a
// surrogate or beyond U+10FFFF is taken into the U+FFFD.
std::u16string decodeUtf8(std::string_view bytes, bool wineTruncationQuirk) {
    std::u16string out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        const auto lead = static_cast<unsigned char>(bytes[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        std::size_t continuations = 0;
        std::uint32_t codePoint = 0;
        unsigned char low = 0x80;   // range of the first continuation byte,
        unsigned char high = 0xBF;  // narrowed against overlong forms, surrogates and > U+10FFFF
        if (lead >= 0xC2 && lead <= 0xDF) {
            continuations = 1;
            codePoint = lead & 0x1Fu;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            continuations = 2;
            codePoint = lead & 0x0Fu;
            if (lead == 0xE0) low = 0xA0;
            if (lead == 0xED) high = 0x9F;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            continuations = 3;
            codePoint = lead & 0x07u;
            if (lead == 0xF0) low = 0x90;
            if (lead == 0xF4) high = 0x8F;
        } else {
            out.push_back(replacementCharacter);
            ++i;
            continue;
        }
        if (wineTruncationQuirk && i + 1 + continuations > bytes.size()) {
            out.push_back(replacementCharacter);
            break;  // Wine steps over the missing bytes: past the end, terminator and all
        }
        std::size_t next = i + 1;
        std::size_t taken = 0;
        while (taken < continuations && next < bytes.size()) {
            const auto byte = static_cast<unsigned char>(bytes[next]);
            if (byte < 0x80 || byte > 0xBF) break;
            ++next;
            if (taken == 0 && (byte < low || byte > high)) break;
            codePoint = (codePoint << 6) | (byte & 0x3Fu);
            ++taken;
        }
        if (taken == continuations) {
            appendCodePoint(out, codePoint);
        } else {
            out.push_back(replacementCharacter);
        }
        i = next;
    }
    return out;
}

}  // namespace scriptfonts::fake

namespace scriptfonts::platform {

using fake::Call;
using fake::record;
using fake::RecordedCall;
using fake::state;

int utf8ToUtf16(const char* bytes, int byteCount, char16_t* out, int outCapacity) noexcept {
    const fake::InsidePlatformCall inside;
    RecordedCall& recorded = record(Call::utf8ToUtf16);
    // The argument checks of MultiByteToWideChar: each fails with 0.
    if (bytes == nullptr || byteCount == 0 || byteCount < -1 || outCapacity < 0) return 0;
    if (out == nullptr && outCapacity != 0) return 0;
    const std::size_t length = byteCount == -1 ? std::strlen(bytes) + 1 : static_cast<std::size_t>(byteCount);
    if (state().options.recordTexts) recorded.bytes.assign(bytes, length);

    const std::u16string decoded = fake::decodeUtf8({bytes, length}, state().options.wineTruncationQuirk);
    const int needed = static_cast<int>(decoded.size());
    if (outCapacity == 0) return static_cast<int>(recorded.answer = needed);
    if (needed > outCapacity) return 0;  // ERROR_INSUFFICIENT_BUFFER
    std::copy(decoded.begin(), decoded.end(), out);
    return static_cast<int>(recorded.answer = needed);
}

bool sameFileName(const char16_t* a, const char16_t* b) noexcept {
    const fake::InsidePlatformCall inside;
    RecordedCall& recorded = record(Call::sameFileName);
    fake::keepText(recorded.text, a);
    fake::keepText(recorded.otherText, b);
    const std::u16string first = fake::terminated(a);
    const std::u16string second = fake::terminated(b);
    // _wcsicmp folds letters by the C locale, which is ASCII only.
    const bool same = std::equal(first.begin(), first.end(), second.begin(), second.end(),
                                 [](char16_t x, char16_t y) { return fake::foldAscii(x) == fake::foldAscii(y); });
    recorded.answer = same ? 1 : 0;
    return same;
}

int addFontResource(const char16_t* path) noexcept {
    const fake::InsidePlatformCall inside;
    return fake::recordPathCall(Call::addFontResource, state().options.addFontResultByPath,
                                state().options.addFontResult, path);
}

int removeFontResource(const char16_t* path) noexcept {
    const fake::InsidePlatformCall inside;
    return fake::recordPathCall(Call::removeFontResource, state().options.removeFontResultByPath,
                                state().options.removeFontResult, path);
}

void broadcastFontChange() noexcept {
    const fake::InsidePlatformCall inside;
    record(Call::broadcastFontChange);
}

ProcessId currentProcessId() noexcept {
    const fake::InsidePlatformCall inside;
    return static_cast<ProcessId>(record(Call::currentProcessId).answer = state().options.currentProcess);
}

std::u16string currentExecutablePath() noexcept {
    const fake::InsidePlatformCall inside;
    RecordedCall& recorded = record(Call::currentExecutablePath);
    fake::keepText(recorded.text, state().options.executablePath.c_str());
    recorded.answer = static_cast<long long>(state().options.executablePath.size());
    return state().options.executablePath;
}

NativeHandle createProcessSnapshot() noexcept {
    const fake::InsidePlatformCall inside;
    RecordedCall& recorded = record(Call::createProcessSnapshot);
    void* const snapshot = state().options.snapshotFails ? fake::invalidHandle : fake::newHandle(fake::firstSnapshot);
    if (snapshot != fake::invalidHandle) state().snapshots[snapshot] = fake::OpenState{};
    recorded.answer = reinterpret_cast<std::intptr_t>(snapshot);
    return snapshot;
}

void closeHandle(NativeHandle handle) noexcept {
    const fake::InsidePlatformCall inside;
    record(Call::closeHandle).handle = handle;
    const auto found = state().snapshots.find(handle);
    if (found == state().snapshots.end()) {
        fake::misuse("closeHandle of a handle never given out: " + fake::describe(handle));
    } else if (!found->second.open) {
        fake::misuse("closeHandle of a handle already closed: " + fake::describe(handle));
    } else {
        found->second.open = false;
    }
}

bool firstProcess(NativeHandle snapshot, ProcessEntry& entry) noexcept {
    const fake::InsidePlatformCall inside;
    return fake::deliverProcess(Call::firstProcess, snapshot, entry, true);
}

bool nextProcess(NativeHandle snapshot, ProcessEntry& entry) noexcept {
    const fake::InsidePlatformCall inside;
    return fake::deliverProcess(Call::nextProcess, snapshot, entry, false);
}

void forEachTopLevelWindow(WindowVisitor visit, void* context) {
    const fake::InsidePlatformCall inside;
    const std::size_t index = state().calls.size();
    record(Call::forEachTopLevelWindow);
    fake::throwIfChosen(Call::forEachTopLevelWindow);
    long long visited = 0;
    // A copy: the visitor may record calls, and so move the recording.
    const std::vector<fake::Window> windows = state().options.windows;
    for (const fake::Window& window : windows) {
        ++visited;
        if (!visit(window.handle, context)) break;
    }
    state().calls[index].answer = visited;
}

ProcessId windowProcessId(WindowHandle window) noexcept {
    const fake::InsidePlatformCall inside;
    RecordedCall& recorded = record(Call::windowProcessId);
    recorded.handle = window;
    const fake::Window* known = fake::knownWindow(window);
    recorded.answer = known == nullptr ? 0 : known->owner;
    return static_cast<ProcessId>(recorded.answer);
}

bool sendFontChange(WindowHandle window) noexcept {
    const fake::InsidePlatformCall inside;
    RecordedCall& recorded = record(Call::sendFontChange);
    recorded.handle = window;
    const fake::Window* known = fake::knownWindow(window);
    recorded.answer = known == nullptr || !known->sendFails;
    return recorded.answer != 0;
}

void postFontChange(WindowHandle window) noexcept {
    const fake::InsidePlatformCall inside;
    record(Call::postFontChange).handle = window;
}

DeviceContext getDC(WindowHandle window) noexcept {
    const fake::InsidePlatformCall inside;
    RecordedCall& recorded = record(Call::getDC);
    recorded.window = window;
    if (state().options.getDCFails) return nullptr;
    void* const dc = fake::newHandle(fake::firstDC);
    fake::OpenState opened;
    opened.window = window;
    state().dcs[dc] = opened;
    recorded.answer = reinterpret_cast<std::intptr_t>(dc);
    return dc;
}

void releaseDC(WindowHandle window, DeviceContext dc) noexcept {
    const fake::InsidePlatformCall inside;
    RecordedCall& recorded = record(Call::releaseDC);
    recorded.handle = dc;
    recorded.window = window;
    const auto found = state().dcs.find(dc);
    if (found == state().dcs.end()) {
        fake::misuse("releaseDC of a DC never given out: " + fake::describe(dc));
    } else if (!found->second.open) {
        fake::misuse("releaseDC of a DC already released: " + fake::describe(dc));
    } else if (found->second.window != window) {
        fake::misuse("releaseDC with another window than getDC had: " + fake::describe(window));
    } else {
        found->second.open = false;
    }
}

void enumerateFontFamilies(DeviceContext dc, const FontRequest& request, FontVisitor visit, void* context) {
    const fake::InsidePlatformCall inside;
    const std::size_t index = state().calls.size();
    RecordedCall& recorded = record(Call::enumerateFontFamilies);
    recorded.handle = dc;
    recorded.charset = request.charset;
    fake::keepText(recorded.text, request.faceName);
    fake::throwIfChosen(Call::enumerateFontFamilies);

    const auto found = state().dcs.find(dc);
    if (found == state().dcs.end() || !found->second.open) {
        fake::misuse("enumerateFontFamilies on a DC that is not open: " + fake::describe(dc));
        return;  // as Win32 does with a null DC: nothing enumerated
    }
    const std::size_t faceLength = fake::terminated(request.faceName).size();
    if (faceLength >= faceNameCapacity) {
        fake::misuse("a face name of " + std::to_string(faceLength) + " units does not fit the request");
        return;  // wcscpy_s refuses it
    }
    long long visited = 0;
    const std::vector<std::u16string> faceNames = state().options.faceNames;
    for (const std::u16string& face : faceNames) {
        ++visited;
        if (visit(face, context) == 0) break;
    }
    state().calls[index].answer = visited;
}

}  // namespace scriptfonts::platform
