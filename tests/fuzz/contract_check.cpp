#include "contract_check.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace scriptfonts::fuzz {
namespace {

using fake::Call;
using fake::RecordedCall;

constexpr std::size_t tagOffset = offsetof(TaggedValue, tag);
constexpr std::size_t shownUnits = 48;
constexpr std::size_t shownCalls = 40;
constexpr std::uint8_t everyCharset = 1;

std::string hex(unsigned long long value, int digits) {
    char text[24];
    std::snprintf(text, sizeof text, "%0*llx", digits, value);
    return text;
}

std::string shown(const std::string& bytes) {
    std::string out = "\"";
    for (std::size_t i = 0; i < std::min(bytes.size(), shownUnits); ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        out += byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\' ? std::string(1, static_cast<char>(byte))
                                                                           : "\\x" + hex(byte, 2);
    }
    out += "\"";
    if (bytes.size() > shownUnits) out += "... (" + std::to_string(bytes.size()) + " bytes)";
    return out;
}

std::string shown(const std::u16string& units) {
    std::string out = "u\"";
    for (std::size_t i = 0; i < std::min(units.size(), shownUnits); ++i) {
        const char16_t unit = units[i];
        out += unit >= 0x20 && unit < 0x7F && unit != u'"' && unit != u'\\' ? std::string(1, static_cast<char>(unit))
                                                                             : "\\u" + hex(unit, 4);
    }
    out += "\"";
    if (units.size() > shownUnits) out += "... (" + std::to_string(units.size()) + " units)";
    return out;
}

std::string shown(const RecordBytes& bytes) {
    std::string out;
    for (const unsigned char byte : bytes) out += " " + hex(byte, 2);
    return out;
}

std::string shown(const void* handle) { return "0x" + hex(reinterpret_cast<std::uintptr_t>(handle), 1); }

std::string shown(const RecordedCall& call) {
    std::string out = fake::callName(call.call);
    switch (call.call) {
        case Call::utf8ToUtf16:
            return out + "(" + shown(call.bytes) + ")";
        case Call::addFontResource:
        case Call::removeFontResource:
            return out + "(" + shown(call.text) + ") -> " + std::to_string(call.answer);
        case Call::sameFileName:
            return out + "(" + shown(call.text) + ", " + shown(call.otherText) + ")";
        case Call::currentExecutablePath:
            return out + " -> " + shown(call.text);
        case Call::enumerateFontFamilies:
            return out + "(" + shown(call.text) + "), " + std::to_string(call.answer) + " visited";
        case Call::windowProcessId:
        case Call::sendFontChange:
        case Call::postFontChange:
        case Call::closeHandle:
        case Call::releaseDC:
            return out + "(" + shown(call.handle) + ")";
        default:
            return out;
    }
}

std::string shown(const ExpectedCall& call) {
    std::string out = fake::callName(call.call);
    switch (call.call) {
        case Call::addFontResource:
        case Call::removeFontResource:
            return out + "(" + shown(call.text) + ")";
        case Call::sameFileName:
            return out + "(" + shown(call.text) + ", " + shown(call.otherText) + ")";
        case Call::enumerateFontFamilies:
            return out + "(" + shown(call.text) + "), " + std::to_string(call.visited) + " visited";
        case Call::windowProcessId:
        case Call::sendFontChange:
        case Call::postFontChange:
            return out + "(" + shown(call.window) + ")";
        default:
            return out;
    }
}

const char* badAllocName(BadAlloc badAlloc) {
    switch (badAlloc) {
        case BadAlloc::none:
            return "never";
        case BadAlloc::windowWalk:
            return "from the window walk";
        case BadAlloc::fontEnumeration:
            return "from the font enumeration";
    }
    return "?";
}

std::int32_t int32At(const RecordBytes& bytes, std::size_t offset) {
    std::int32_t value;
    std::memcpy(&value, bytes.data() + offset, sizeof value);
    return value;
}

class Checker {
public:
    Checker(const FuzzInput& input, const Expected& expected, const Observed& observed)
        : input_(input), expected_(expected), observed_(observed) {}

    void run() {
        if (observed_.allocationFailed) {
            checkAllocationFailure();
            return;
        }
        checkStatusAndRecords(expected_.status);
        checkPlatformCalls();
        checkResources();
    }

private:
    [[noreturn]] void violated(const std::string& what) const {
        std::ostringstream report;
        report << "\n==== scriptfonts fuzzer: CONTRACT VIOLATED ====\n" << what << "\n\n";
        describeCall(report);
        report << "platform calls made (" << fake::calls().size() << "):\n";
        for (std::size_t i = 0; i < std::min(fake::calls().size(), shownCalls); ++i) {
            report << "  " << shown(fake::calls()[i]) << "\n";
        }
        report << "platform calls expected (decoder calls left out):\n";
        for (std::size_t i = 0; i < std::min(expected_.calls.size(), shownCalls); ++i) {
            report << "  " << shown(expected_.calls[i]) << "\n";
        }
        std::fputs(report.str().c_str(), stderr);
        std::abort();
    }

    void describeCall(std::ostringstream& report) const {
        report << "call: " << functionName(input_.function) << "(arguments "
               << (input_.nullArguments ? "null" : "[1 record]") << ", count " << input_.count << ", result "
               << (input_.nullResult ? "null" : "record") << "), tag " << input_.tag << ", text "
               << (input_.nullText ? "null" : shown(input_.text)) << " (" << input_.text.size() << " bytes, "
               << visibleText(input_.text).size() << " before the first NUL)\n"
               << "status " << observed_.status << ", expected "
               << (observed_.allocationFailed ? statusOutOfMemory : expected_.status) << "\n"
               << "result record before:" << shown(observed_.resultBefore) << "\n"
               << "result record after: " << shown(observed_.resultAfter) << "\n"
               << "stand-in: AddFontResourceW answers " << int{input_.addAnswer} << " (failure mask 0x"
               << hex(input_.addFailureMask, 2) << "), RemoveFontResourceW " << int{input_.removeAnswer}
               << ", snapshot " << (input_.snapshotFails ? "fails" : "ok") << ", GetDC "
               << (input_.getDCFails ? "fails" : "ok") << ", Wine truncation quirk "
               << (input_.wineTruncationQuirk ? "on" : "off") << ", bad_alloc " << badAllocName(input_.badAlloc)
               << "\n  the library's allocation " << input_.failingAllocation << " fails ("
               << (input_.failingAllocation == 0   ? "none"
                   : observed_.allocationFailed ? "it did"
                                                : "the call made fewer")
               << ")\n  processes:";
        for (const RunningProcess& process : input_.processes) {
            report << " " << shown(std::u16string(process.name->exeFile)) << "=" << process.id;
        }
        report << ", the caller " << input_.caller << " running "
               << (input_.executable == nullptr ? "from an unreadable path" : shown(input_.executablePath));
        report << "\n  windows:";
        for (const fake::Window& window : input_.windows) {
            report << " " << shown(window.handle) << "->" << window.owner << (window.sendFails ? " (send fails)" : "");
        }
        report << "\n  faces:";
        for (const std::u16string& face : fake::options().faceNames) report << " " << shown(face);
        report << "\n";
    }

    // Status 0, 20 or statusOutOfMemory (-28); the tag written exactly with 0; only
    // bytes 0-3 of the value and the tag ever written.
    void checkStatusAndRecords(std::int32_t expectedStatus) const {
        const std::int32_t status = observed_.status;
        if (status != statusOk && status != statusBadArguments && status != statusOutOfMemory) {
            violated("status " + std::to_string(status) + " is none of 0, 20 and statusOutOfMemory (" +
                     std::to_string(statusOutOfMemory) + ")");
        }
        if (observed_.argumentAfter != observed_.argumentBefore) {
            violated("the argument record was written: before" + shown(observed_.argumentBefore) + ", after" +
                     shown(observed_.argumentAfter));
        }
        if (!input_.nullResult) {
            const std::int32_t tag = int32At(observed_.resultAfter, tagOffset);
            if ((tag == tagInteger) != (status == statusOk)) {
                violated("result tag " + std::to_string(tag) + " with status " + std::to_string(status) +
                         ": the tag must be 123 exactly when the status is 0");
            }
            for (std::size_t i = 0; i < recordBytes; ++i) {
                const bool writable = status == statusOk && (i < 4 || (i >= tagOffset && i < tagOffset + 4));
                if (!writable && observed_.resultAfter[i] != observed_.resultBefore[i]) {
                    violated("byte " + std::to_string(i) + " of the result record was written with status " +
                             std::to_string(status) + " (only bytes 0-3 and the tag, and only with status 0)");
                }
            }
        }
        if (status != expectedStatus) {
            violated("status " + std::to_string(status) + ", expected " + std::to_string(expectedStatus));
        }
        const std::int32_t result = int32At(observed_.resultAfter, 0);
        if (status == statusOk && result != expected_.result) {
            violated(std::string(functionName(input_.function)) + " result " + std::to_string(result) +
                     ", expected " + std::to_string(expected_.result));
        }
    }

    void checkPlatformCalls() const {
        const std::vector<RecordedCall>& calls = fake::calls();
        if (expected_.status == statusBadArguments && !calls.empty()) {
            violated("a rejected call made " + std::to_string(calls.size()) + " platform call(s), the first " +
                     shown(calls.front()));
        }
        checkCallCounts();
        checkDecoding(expected_.decodedPieces.size());
        checkCallSequence();
    }

    // One of the library's own allocations failed. Every copy is made before
    // the work that needs it, so no work began without its decoded text; a
    // list adds the pieces before the failing one and announces them once.
    void checkAllocationFailure() const {
        if (!isWellFormed(input_)) violated("a refused call allocated: its text is never copied");
        checkStatusAndRecords(statusOutOfMemory);

        std::vector<const RecordedCall*> made;
        for (const RecordedCall& call : fake::calls()) {
            if (call.call != Call::utf8ToUtf16) made.push_back(&call);
        }
        const bool list = input_.function == Function::registerFonts;
        if (!list && !made.empty()) {
            violated("memory ran out for the text, yet the font work began: " + shown(*made.front()));
        }
        std::size_t added = 0;
        const std::size_t pieces = expected_.decodedPieces.size();
        while (list && added < std::min(made.size(), pieces) && made[added]->call == Call::addFontResource) {
            if (made[added]->text != expected_.calls[added].text) {
                violated("addition " + std::to_string(added) + ": " + shown(*made[added]) + ", expected " +
                         shown(expected_.calls[added]));
            }
            ++added;
        }
        if (list && added == pieces) {
            violated("all " + std::to_string(added) + " pieces were added, yet memory ran out");
        }
        const std::size_t after = made.size() - added;
        const bool announced = after == 1 && made[added]->call == Call::broadcastFontChange;
        if (after > 1 || (after == 1 && !announced)) {
            violated("after " + std::to_string(added) + " addition(s) the call made " + shown(*made[added]) +
                     (after > 1 ? " and more" : "") + "; only one broadcast may follow");
        }
        if (added > 0 && !announced) violated(std::to_string(added) + " piece(s) added but never announced");
        checkDecoding(added);
        checkResources();
    }

    // Counts first: they name the broken promise most plainly (one addition per
    // comma plus one, one broadcast, no lookup of an over-long name...).
    void checkCallCounts() const {
        const auto countIn = [](const auto& calls, Call call) {
            return static_cast<std::size_t>(
                std::count_if(calls.begin(), calls.end(), [call](const auto& one) { return one.call == call; }));
        };
        for (const Call call : {Call::addFontResource, Call::removeFontResource, Call::broadcastFontChange,
                                Call::currentProcessId, Call::currentExecutablePath, Call::createProcessSnapshot,
                                Call::closeHandle,
                                Call::forEachTopLevelWindow, Call::sendFontChange, Call::postFontChange, Call::getDC,
                                Call::releaseDC, Call::enumerateFontFamilies}) {
            const std::size_t wanted = countIn(expected_.calls, call);
            const std::size_t made = countIn(fake::calls(), call);
            if (made == wanted) continue;
            std::string why;
            const std::string visible = visibleText(input_.text);
            if (input_.function == Function::registerFonts && call == Call::addFontResource) {
                why = " for a text with " + std::to_string(std::count(visible.begin(), visible.end(), ',')) +
                      " comma(s) before its first NUL";
            }
            if (input_.function == Function::findFontByName) {
                why = " for a name that decodes to " +
                      std::to_string(decoded(visible, input_.wineTruncationQuirk).size()) + " UTF-16 units";
            }
            violated(std::string(functionName(input_.function)) + " made " + std::to_string(made) + " " +
                     fake::callName(call) + " call(s), expected " + std::to_string(wanted) + why);
        }
    }

    // Each piece goes to the decoder as its bytes and a NUL, before the work
    // that uses it; a list's pieces one by one, each before its addition. The
    // first `mustBeDecoded` pieces are decoded at least once.
    void checkDecoding(std::size_t mustBeDecoded) const {
        const std::vector<std::string>& pieces = expected_.decodedPieces;
        std::vector<std::size_t> decodings(pieces.size(), 0);
        std::size_t workCalls = 0;
        for (const RecordedCall& call : fake::calls()) {
            if (call.call != Call::utf8ToUtf16) {
                if (input_.function != Function::registerFonts || call.call == Call::addFontResource) ++workCalls;
                continue;
            }
            const std::size_t piece = input_.function == Function::registerFonts ? workCalls : 0;
            if (input_.function != Function::registerFonts && workCalls > 0) {
                violated("the decoder was called after the font work had begun: " + shown(call));
            }
            if (piece >= pieces.size()) {
                violated("the decoder was called with " + shown(call.bytes) + " when no piece was left to decode");
            }
            if (call.bytes != pieces[piece] + '\0') {
                violated("the decoder got " + shown(call.bytes) + " for piece " + std::to_string(piece) +
                         ", expected its bytes and a NUL: " + shown(pieces[piece] + '\0'));
            }
            ++decodings[piece];
        }
        for (std::size_t piece = 0; piece < mustBeDecoded; ++piece) {
            if (decodings[piece] == 0) {
                violated("piece " + std::to_string(piece) + " " + shown(pieces[piece]) + " was never decoded");
            }
        }
    }

    void checkCallSequence() const {
        std::vector<const RecordedCall*> made;
        for (const RecordedCall& call : fake::calls()) {
            if (call.call != Call::utf8ToUtf16) made.push_back(&call);
        }
        void* snapshot = nullptr;
        void* dc = nullptr;
        for (std::size_t i = 0; i < std::max(made.size(), expected_.calls.size()); ++i) {
            const auto position = [i] { return "platform call " + std::to_string(i) + " (decoder calls left out): "; };
            if (i >= made.size()) violated(position() + "missing, expected " + shown(expected_.calls[i]));
            if (i >= expected_.calls.size()) violated(position() + shown(*made[i]) + ", expected none");
            const RecordedCall& call = *made[i];
            const ExpectedCall& wanted = expected_.calls[i];
            const auto mismatch = [&](const std::string& detail = {}) {
                violated(position() + shown(call) + ", expected " + shown(wanted) + detail);
            };
            if (call.call != wanted.call) mismatch();
            switch (call.call) {
                case Call::addFontResource:
                case Call::removeFontResource:
                    if (call.text != wanted.text) mismatch();
                    break;
                case Call::sameFileName:
                    if (!(call.text == wanted.text && call.otherText == wanted.otherText) &&
                        !(call.text == wanted.otherText && call.otherText == wanted.text)) {
                        mismatch();
                    }
                    break;
                case Call::windowProcessId:
                case Call::sendFontChange:
                case Call::postFontChange:
                    if (call.handle != wanted.window) mismatch();
                    break;
                case Call::createProcessSnapshot:
                    snapshot = reinterpret_cast<void*>(static_cast<std::intptr_t>(call.answer));
                    break;
                case Call::firstProcess:
                case Call::nextProcess:
                case Call::closeHandle:
                    if (call.handle != snapshot) mismatch(" on snapshot " + shown(snapshot));
                    break;
                case Call::getDC:
                    if (call.window != nullptr) mismatch(": not the screen's");
                    dc = reinterpret_cast<void*>(static_cast<std::intptr_t>(call.answer));
                    break;
                case Call::releaseDC:
                    if (call.handle != dc || call.window != nullptr) mismatch(" on " + shown(dc));
                    break;
                case Call::enumerateFontFamilies:
                    if (call.text != wanted.text || call.answer != wanted.visited) mismatch();
                    if (call.handle != dc || call.charset != everyCharset) {
                        mismatch(": request on " + shown(call.handle) + " with charset " +
                                 std::to_string(call.charset) + ", expected " + shown(dc) + " and 1");
                    }
                    break;
                default:
                    break;
            }
        }
    }

    void checkResources() const {
        if (fake::openSnapshots() != 0) {
            violated(std::to_string(fake::openSnapshots()) + " process snapshot(s) left open");
        }
        if (fake::openDCs() != 0) violated(std::to_string(fake::openDCs()) + " device context(s) left open");
        if (!fake::misuses().empty()) violated("platform misuse: " + fake::misuses().front());
    }

    const FuzzInput& input_;
    const Expected& expected_;
    const Observed& observed_;
};

}  // namespace

void checkContract(const FuzzInput& input, const Expected& expected, const Observed& observed) {
    Checker(input, expected, observed).run();
}

}  // namespace scriptfonts::fuzz
