// The fuzzer's input, decoded: which script function is called and how, and
// what the stand-in platform answers. Every byte string is a valid input.
//
// Byte   Field
// 0      function: value % 5 -> registerFont, registerFontA, unRegisterFont,
//        registerFonts, findFontByName
// 1      null pointers: bit 0 the argument array, bit 1 the argument's text,
//        bit 2 the result record; bits 3-6 n: the calling process's
//        executable, 0 the fuzzer's own, 1 unreadable, else processNames[n - 2];
//        bit 7 its folder: 0 C:\Program Files\Adobe\, 1 a \\?\ path of
//        over 300 units ending in '/'
// 2-5    argument count XOR 1, int32 little-endian
// 6-9    argument tag XOR 4 (tagString), int32 little-endian
// 10     fill: every byte of the engine's argument and result records before
//        the call (the text pointer and the tag then go into the argument)
// 11     AddFontResourceW's answer XOR 1, int8, for every path the mask
//        below does not fail
// 12     failure mask: the path of list piece i answers 0 when bit (i % 8) is
//        set (a path that occurs twice takes the later piece's answer)
// 13     RemoveFontResourceW's answer XOR 1, int8
// 14     switches: bit 0 the process snapshot fails, bit 1 GetDC fails,
//        bit 2 Wine's truncation quirk in the decoder, bits 3-4
//        std::bad_alloc thrown from 1 the window walk, 2 the font enumeration,
//        bits 5-7 n: the library's own allocation n (1-7) in the call fails,
//        0 none does (the stand-in's allocations are not counted)
// 15     number of processes: value % 5
// 16-23  four processes, two bytes each: executable name (value % the size of
//        processNames) and process id (0-255; 0 is possible)
// 24     top-level windows: bits 0-3 their number, value % 7; bit 4 sends to
//        windows 0, 2 and 4 fail, bit 5 sends to windows 1, 3 and 5 fail;
//        bits 6-7 k: the calling process, 0 one not in the snapshot, 1-3 the
//        id of process k (read from its slot, whether or not it is listed)
// 25-30  six windows: the owning process id; window i's handle is 0x10 * (i + 1)
// 31     number of enumerated faces: value % 5
// 32-35  four faces: value % the number of FaceChoice values
// 36     repetitions: below 0xF0 the text is taken once; 0xF0 + k repeats
//        it 2 << k times (2 to 65536), cut at the fuzzer's longest text:
//        256 bytes for scriptfonts_fuzz, 70,000 (past every 16-bit count)
//        for scriptfonts_fuzz_long_texts
// 37-    the text: any bytes, NULs included; the argument is this text
//        with a NUL appended
//
// Bytes missing at the end read as 0. The XORs make zero bytes the usual
// case (one string argument, additions and removals that succeed), so that
// the fuzzer reaches the font work without first guessing four exact bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fake_platform.h"
#include "scriptfonts.h"

namespace scriptfonts::fuzz {

constexpr std::size_t headerBytes = 37;

enum class Function { registerFont, registerFontA, unRegisterFont, registerFonts, findFontByName };
const char* functionName(Function function) noexcept;
ScriptFunction exported(Function function) noexcept;

enum class BadAlloc { none, windowWalk, fontEnumeration };

struct ProcessName {
    const char16_t* exeFile;
    // What a case-blind comparison of the whole file name makes of it.
    bool isPhotoshop;
    bool isIllustrator;
};
extern const std::vector<ProcessName> processNames;

struct RunningProcess {
    const ProcessName* name;
    platform::ProcessId id;
};

// A face the stand-in enumerates, made from the requested name or fixed.
enum class FaceChoice {
    requested,
    requestedUpperCase,
    requestedLowerCase,
    requestedWithoutLastUnit,
    requestedWithSuffix,
    empty,
    arial,
    sampleLantern,
    nonAscii,
    longest,  // 31 units, the most a face name holds
    count
};

struct FuzzInput {
    Function function = Function::registerFont;
    bool nullArguments = false;
    bool nullText = false;
    bool nullResult = false;
    std::int32_t count = 0;
    std::int32_t tag = 0;
    unsigned char fill = 0;

    std::int8_t addAnswer = 0;
    std::uint8_t addFailureMask = 0;
    std::int8_t removeAnswer = 0;
    bool snapshotFails = false;
    bool getDCFails = false;
    bool wineTruncationQuirk = false;
    BadAlloc badAlloc = BadAlloc::none;
    int failingAllocation = 0;  // 1-7: the library's allocation of that number fails; 0: none
    std::vector<RunningProcess> processes;  // in snapshot order
    platform::ProcessId caller = fake::unlistedProcess;
    const ProcessName* executable = nullptr;  // the caller's file name; null: unreadable
    std::u16string executablePath;            // what the platform answers for it
    std::vector<fake::Window> windows;      // in enumeration order
    std::vector<FaceChoice> faces;

    std::string text;  // what the engine passes, before its NUL; may hold NULs
};

FuzzInput parseInput(const std::uint8_t* data, std::size_t size);

std::u16string faceFor(FaceChoice choice, const std::u16string& requested);

}  // namespace scriptfonts::fuzz
