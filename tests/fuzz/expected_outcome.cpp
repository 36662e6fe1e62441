#include "expected_outcome.h"

#include <map>
#include <optional>
#include <utility>

namespace scriptfonts::fuzz {
namespace {

using fake::Call;

// A face name fills a 32-unit field, terminator included.
constexpr std::size_t longestFaceName = 31;

ExpectedCall plain(Call call) { return ExpectedCall{call, {}, {}, nullptr, 0}; }
ExpectedCall withText(Call call, std::u16string text, std::u16string otherText = {}) {
    return ExpectedCall{call, std::move(text), std::move(otherText), nullptr, 0};
}
ExpectedCall onWindow(Call call, void* window) { return ExpectedCall{call, {}, {}, window, 0}; }

int answerFor(const std::map<std::u16string, int>& byPath, int fallback, const std::u16string& path) {
    const auto found = byPath.find(path);
    return found == byPath.end() ? fallback : found->second;
}

void expectRegistration(Expected& expected, const std::string& text, const FuzzInput& input,
                        const fake::Options& standIn, bool forIllustrator) {
    const std::u16string path = decoded(text, input.wineTruncationQuirk);
    expected.decodedPieces = {text};
    expected.calls.push_back(withText(Call::addFontResource, path));
    if (answerFor(standIn.addFontResultByPath, standIn.addFontResult, path) == 0) {
        expected.result = 0;  // not added: no host is looked for
        return;
    }
    expected.result = 1;
    const char16_t* const host = forIllustrator ? u"Illustrator.exe" : u"Photoshop.exe";
    // The caller's own file name first (none when unreadable or empty): when
    // it is the host's, the caller is the host, found with no snapshot.
    const ProcessName* const own = input.executable;
    const bool compared = own != nullptr && *own->exeFile != u'\0';
    expected.calls.push_back(plain(Call::currentExecutablePath));
    if (compared) expected.calls.push_back(withText(Call::sameFileName, own->exeFile, host));
    const bool named = compared && (forIllustrator ? own->isIllustrator : own->isPhotoshop);
    if (!named) expected.calls.push_back(plain(Call::createProcessSnapshot));
    if (!named && standIn.snapshotFails) return;

    // The caller when it is listed as the host (the walk ends there), else
    // the first host listed, known only once the walk has reached the end.
    expected.calls.push_back(plain(Call::currentProcessId));
    std::optional<platform::ProcessId> hostId;
    if (named) hostId = input.caller;
    bool callerFound = named;  // then nothing is walked
    for (std::size_t i = 0; i < input.processes.size() && !callerFound; ++i) {
        const RunningProcess& process = input.processes[i];
        expected.calls.push_back(plain(i == 0 ? Call::firstProcess : Call::nextProcess));
        expected.calls.push_back(withText(Call::sameFileName, process.name->exeFile, host));
        if (!(forIllustrator ? process.name->isIllustrator : process.name->isPhotoshop)) continue;
        callerFound = process.id == input.caller;
        if (callerFound || !hostId) hostId = process.id;
    }
    if (!callerFound) expected.calls.push_back(plain(input.processes.empty() ? Call::firstProcess : Call::nextProcess));
    if (!named) expected.calls.push_back(plain(Call::closeHandle));
    if (!hostId || *hostId == 0) return;  // process id 0 stands for "no host"

    expected.calls.push_back(plain(Call::forEachTopLevelWindow));
    if (input.badAlloc == BadAlloc::windowWalk) {
        expected.status = statusOutOfMemory;
        return;
    }
    for (const fake::Window& window : input.windows) {
        expected.calls.push_back(onWindow(Call::windowProcessId, window.handle));
        if (window.owner != *hostId) continue;
        expected.calls.push_back(onWindow(Call::sendFontChange, window.handle));
        // A send the window did not handle is followed by a post to that same window.
        if (window.sendFails) expected.calls.push_back(onWindow(Call::postFontChange, window.handle));
    }
}

void expectRemoval(Expected& expected, const std::string& text, const FuzzInput& input,
                   const fake::Options& standIn) {
    const std::u16string path = decoded(text, input.wineTruncationQuirk);
    expected.decodedPieces = {text};
    expected.calls.push_back(withText(Call::removeFontResource, path));
    if (answerFor(standIn.removeFontResultByPath, standIn.removeFontResult, path) != 0) {
        expected.calls.push_back(plain(Call::broadcastFontChange));
    }
    expected.result = 0;
}

void expectList(Expected& expected, const std::string& text, const FuzzInput& input) {
    expected.decodedPieces = listPieces(text);
    for (const std::string& piece : expected.decodedPieces) {
        expected.calls.push_back(withText(Call::addFontResource, decoded(piece, input.wineTruncationQuirk)));
    }
    expected.calls.push_back(plain(Call::broadcastFontChange));
    expected.result = 1;
}

void expectLookup(Expected& expected, const std::string& text, const FuzzInput& input,
                  const fake::Options& standIn) {
    const std::u16string name = decoded(text, input.wineTruncationQuirk);
    expected.decodedPieces = {text};
    expected.result = 0;
    if (name.size() > longestFaceName) return;  // no face has that name: nothing asked
    expected.calls.push_back(plain(Call::getDC));
    if (standIn.getDCFails) return;

    ExpectedCall enumeration = withText(Call::enumerateFontFamilies, name);
    bool found = false;
    if (input.badAlloc != BadAlloc::fontEnumeration) {
        for (const std::u16string& face : standIn.faceNames) {
            ++enumeration.visited;
            if (face == name) {
                found = true;
                break;  // the enumeration stops at the first exact match
            }
        }
    }
    expected.calls.push_back(enumeration);
    expected.calls.push_back(plain(Call::releaseDC));
    if (input.badAlloc == BadAlloc::fontEnumeration) {
        expected.status = statusOutOfMemory;
        return;
    }
    expected.result = found ? 1 : 0;
}

}  // namespace

std::string visibleText(const std::string& text) { return text.substr(0, text.find('\0')); }

std::vector<std::string> listPieces(const std::string& visible) {
    std::vector<std::string> pieces(1);
    for (const char byte : visible) {
        if (byte == ',') {
            pieces.emplace_back();
        } else {
            pieces.back() += byte;
        }
    }
    return pieces;
}

std::u16string decoded(const std::string& piece, bool wineTruncationQuirk) {
    std::string handedOver = piece;
    handedOver += '\0';
    std::u16string units = fake::decodeUtf8(handedOver, wineTruncationQuirk);
    return units.substr(0, units.find(u'\0'));
}

bool isWellFormed(const FuzzInput& input) {
    return input.count == 1 && input.tag == tagString && !input.nullArguments && !input.nullText &&
           !input.nullResult;
}

Expected expectedOutcome(const FuzzInput& input, const fake::Options& standIn) {
    Expected expected;
    if (!isWellFormed(input)) return expected;  // statusBadArguments, nothing else
    expected.status = statusOk;
    const std::string text = visibleText(input.text);
    switch (input.function) {
        case Function::registerFont:
            expectRegistration(expected, text, input, standIn, false);
            break;
        case Function::registerFontA:
            expectRegistration(expected, text, input, standIn, true);
            break;
        case Function::unRegisterFont:
            expectRemoval(expected, text, input, standIn);
            break;
        case Function::registerFonts:
            expectList(expected, text, input);
            break;
        case Function::findFontByName:
            expectLookup(expected, text, input, standIn);
            break;
    }
    return expected;
}

}  // namespace scriptfonts::fuzz
