#include "fuzz_input.h"

#include <algorithm>
#include <cstring>
#include <string_view>

namespace scriptfonts::fuzz {
namespace {

// Reads the header field by field; bytes past the end read as 0.
class HeaderReader {
public:
    HeaderReader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return offset_ < size_ ? data_[offset_++] : (++offset_, 0); }
    std::int32_t int32() {
        std::uint32_t value = 0;
        for (int shift = 0; shift < 32; shift += 8) value |= std::uint32_t{byte()} << shift;
        std::int32_t signedValue;
        std::memcpy(&signedValue, &value, sizeof value);
        return signedValue;
    }
    std::int8_t int8() {
        const std::uint8_t value = byte();
        std::int8_t signedValue;
        std::memcpy(&signedValue, &value, sizeof value);
        return signedValue;
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t offset_ = 0;
};

// Built twice: the main fuzzer keeps texts short, where a call takes
// microseconds; the long-text one takes them past every 16-bit count, where
// a call takes up to a second.
constexpr std::size_t maxTextBytes = SCRIPTFONTS_FUZZ_MAX_TEXT_BYTES;

constexpr std::size_t processSlots = 4;
constexpr std::size_t windowSlots = 6;
constexpr std::size_t faceSlots = 4;
constexpr std::uintptr_t windowHandleStride = 0x10;
constexpr std::uint8_t windowCountBits = 0x0F;
constexpr std::uint8_t evenSendsFail = 0x10;  // windows 0, 2, 4
constexpr std::uint8_t oddSendsFail = 0x20;   // windows 1, 3, 5
constexpr int callerShift = 6;
constexpr std::uint8_t repeatedText = 0xF0;
constexpr int executableShift = 3;
constexpr unsigned unreadableExecutable = 1;
constexpr std::uint8_t longExecutablePath = 0x80;
const ProcessName fuzzerExecutable{u"scriptfonts_fuzz.exe", false, false};

std::u16string withAsciiCase(std::u16string text, bool upper) {
    for (char16_t& unit : text) {
        if (upper && unit >= u'a' && unit <= u'z') unit = static_cast<char16_t>(unit - 32);
        if (!upper && unit >= u'A' && unit <= u'Z') unit = static_cast<char16_t>(unit + 32);
    }
    return text;
}

}  // namespace

// Whether each name is the host's was decided by reading it, not by the
// comparison the library uses: _wcsicmp folds ASCII letters only.
const std::vector<ProcessName> processNames = {
    {u"Photoshop.exe", true, false},
    {u"PHOTOSHOP.EXE", true, false},
    {u"photoshop.exe", true, false},
    {u"Illustrator.exe", false, true},
    {u"ILLUSTRATOR.exe", false, true},
    {u"explorer.exe", false, false},
    {u"Photoshop.exe.bak", false, false},
    {u"Photoshop", false, false},
    {u"xPhotoshop.exe", false, false},
    {u"Illustrator", false, false},
    {u"", false, false},
    {u"Photoshop.exe ", false, false},
    {u"Photosh\u00F6p.exe", false, false},
    {u"\u0130llustrator.exe", false, false},  // dotted capital I: no ASCII letter
};

const char* functionName(Function function) noexcept {
    switch (function) {
        case Function::registerFont:
            return "registerFont";
        case Function::registerFontA:
            return "registerFontA";
        case Function::unRegisterFont:
            return "unRegisterFont";
        case Function::registerFonts:
            return "registerFonts";
        case Function::findFontByName:
            return "findFontByName";
    }
    return "?";
}

ScriptFunction exported(Function function) noexcept {
    switch (function) {
        case Function::registerFont:
            return registerFont;
        case Function::registerFontA:
            return registerFontA;
        case Function::unRegisterFont:
            return unRegisterFont;
        case Function::registerFonts:
            return registerFonts;
        case Function::findFontByName:
            return findFontByName;
    }
    return nullptr;
}

FuzzInput parseInput(const std::uint8_t* data, std::size_t size) {
    HeaderReader header(data, size);
    FuzzInput input;
    input.function = static_cast<Function>(header.byte() % 5);
    const std::uint8_t pointers = header.byte();
    input.nullArguments = (pointers & 1) != 0;
    input.nullText = (pointers & 2) != 0;
    input.nullResult = (pointers & 4) != 0;
    if (const unsigned n = (pointers >> executableShift) & 0x0Fu; n != unreadableExecutable) {
        input.executable = n == 0 ? &fuzzerExecutable : &processNames[(n - 2) % processNames.size()];
        input.executablePath = (pointers & longExecutablePath) != 0
                                   ? u"\\\\?\\C:\\" + std::u16string(300, u'd') + u"/" + input.executable->exeFile
                                   : u"C:\\Program Files\\Adobe\\" + std::u16string(input.executable->exeFile);
    }
    input.count = header.int32() ^ 1;
    input.tag = header.int32() ^ tagString;
    input.fill = header.byte();

    input.addAnswer = static_cast<std::int8_t>(header.int8() ^ 1);
    input.addFailureMask = header.byte();
    input.removeAnswer = static_cast<std::int8_t>(header.int8() ^ 1);
    const std::uint8_t switches = header.byte();
    input.snapshotFails = (switches & 1) != 0;
    input.getDCFails = (switches & 2) != 0;
    input.wineTruncationQuirk = (switches & 4) != 0;
    const unsigned badAlloc = (switches >> 3) & 3u;
    input.badAlloc = badAlloc == 1 ? BadAlloc::windowWalk : badAlloc == 2 ? BadAlloc::fontEnumeration : BadAlloc::none;
    input.failingAllocation = switches >> 5;

    const std::size_t processCount = header.byte() % (processSlots + 1);
    platform::ProcessId slotIds[processSlots];
    for (std::size_t i = 0; i < processSlots; ++i) {
        const ProcessName& name = processNames[header.byte() % processNames.size()];
        slotIds[i] = header.byte();
        if (i < processCount) input.processes.push_back({&name, slotIds[i]});
    }
    const std::uint8_t windowsByte = header.byte();
    if (const unsigned callerSlot = windowsByte >> callerShift; callerSlot != 0) input.caller = slotIds[callerSlot];
    const std::size_t windowCount = (windowsByte & windowCountBits) % (windowSlots + 1);
    for (std::size_t i = 0; i < windowSlots; ++i) {
        const platform::ProcessId owner = header.byte();
        if (i < windowCount) {
            const bool sendFails = (windowsByte & (i % 2 == 0 ? evenSendsFail : oddSendsFail)) != 0;
            input.windows.push_back({reinterpret_cast<void*>(windowHandleStride * (i + 1)), owner, sendFails});
        }
    }
    const std::size_t faceCount = header.byte() % (faceSlots + 1);
    for (std::size_t i = 0; i < faceSlots; ++i) {
        const auto choice = static_cast<FaceChoice>(header.byte() % static_cast<unsigned>(FaceChoice::count));
        if (i < faceCount) input.faces.push_back(choice);
    }
    // Rare and in powers of two: most inputs stay short and fast.
    const std::uint8_t repeat = header.byte();
    const std::size_t repetitions = repeat < repeatedText ? 1 : std::size_t{2} << (repeat - repeatedText);

    // Cut while it is made: a short input must not grow long before the cut.
    if (size > headerBytes) {
        const std::string_view once(reinterpret_cast<const char*>(data) + headerBytes, size - headerBytes);
        input.text.reserve(std::min(once.size() * repetitions, maxTextBytes));
        for (std::size_t i = 0; i < repetitions && input.text.size() < maxTextBytes; ++i) {
            input.text += once.substr(0, maxTextBytes - input.text.size());
        }
    }
    return input;
}

std::u16string faceFor(FaceChoice choice, const std::u16string& requested) {
    switch (choice) {
        case FaceChoice::requested:
            return requested;
        case FaceChoice::requestedUpperCase:
            return withAsciiCase(requested, true);
        case FaceChoice::requestedLowerCase:
            return withAsciiCase(requested, false);
        case FaceChoice::requestedWithoutLastUnit:
            return requested.empty() ? requested : requested.substr(0, requested.size() - 1);
        case FaceChoice::requestedWithSuffix:
            return requested + u"x";
        case FaceChoice::empty:
            return {};
        case FaceChoice::arial:
            return u"Arial";
        case FaceChoice::sampleLantern:
            return u"Scriptfonts Sample Lantern";
        case FaceChoice::nonAscii:
            return u"\u00FCnic\u00F8de \u5B57\u4F53";
        case FaceChoice::longest:
            return u"ABCDEFGHIJKLMNOPQRSTUVWXYZabcde";
        case FaceChoice::count:
            break;
    }
    return {};
}

}  // namespace scriptfonts::fuzz
