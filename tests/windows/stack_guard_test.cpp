// The stack guards as the canary checks read them: this program's, seeded by
// its entry point, and the DLL's, seeded by its own. Run twice as a copy that
// prints both, each must differ from run to run and from the unseeded value,
// with a zero lowest byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/stack_guard.h"
#include "support/copied_program.h"
#include "support/script_library.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

constexpr wchar_t readerExecutable[] = L"stack-guard-reader.exe";
constexpr DWORD readerTimeoutMs = 60000;
constexpr std::uintptr_t unseeded = platform::win32::unseededStackGuard;

struct Guard {
    const char* label;  // what the reader prints before the value
    const char* whose;
};
const Guard guards[] = {{"program's stack guard ", "this program's"}, {"DLL's stack guard ", "scriptfonts.dll's"}};

// Where the loaded image holds its guard, as offsets from its base: the places
// of its file's section data that hold the unseeded value, which the guard's
// initializer puts there. The DLL is stripped and exports nothing else, so
// that value is how its guard is found, whichever compiler placed it.
std::vector<DWORD> placesOfTheUnseededValue(const std::string& image) {
    const std::string_view value(reinterpret_cast<const char*>(&unseeded), sizeof unseeded);
    const auto* headers = reinterpret_cast<const IMAGE_NT_HEADERS64*>(
        image.data() + reinterpret_cast<const IMAGE_DOS_HEADER*>(image.data())->e_lfanew);
    const IMAGE_SECTION_HEADER* section = IMAGE_FIRST_SECTION(headers);
    std::vector<DWORD> places;
    for (WORD i = 0; i < headers->FileHeader.NumberOfSections; ++i, ++section) {
        const std::string_view data = std::string_view(image).substr(
            section->PointerToRawData, std::min(section->SizeOfRawData, section->Misc.VirtualSize));
        for (auto at = data.find(value); at != std::string_view::npos; at = data.find(value, at + 1)) {
            places.push_back(section->VirtualAddress + static_cast<DWORD>(at));
        }
    }
    return places;
}

void printGuards() {
    std::printf("%s%llx\n", guards[0].label, static_cast<unsigned long long>(__stack_chk_guard));
    const std::wstring dll = besideTestProgram(L"scriptfonts.dll");
    const std::vector<DWORD> places = placesOfTheUnseededValue(run::readFileBytes(dll));
    ASSERT_EQ(places.size(), 1u) << "places of the unseeded guard 0x" << std::hex << unseeded << " in " << toUtf8(dll);
    const ScriptLibrary library;  // loaded as the engine loads it, which seeds its guard
    ASSERT_NE(library.module(), nullptr);
    const auto* guard =
        reinterpret_cast<const std::uintptr_t*>(reinterpret_cast<const BYTE*>(library.module()) + places[0]);
    std::printf("%s%llx\n", guards[1].label, static_cast<unsigned long long>(*guard));
}

TEST(StackGuard, SeededAnewInEachProcessWithAZeroLowestByte) {
    if (testProgramNamed(readerExecutable)) {
        printGuards();
        return;
    }
    const TemporaryDirectory scratch;
    const std::wstring reader = scratch.copyIn(testProgramPath(), readerExecutable);
    scratch.copyIn(besideTestProgram(L"scriptfonts.dll"), L"scriptfonts.dll");
    std::uintptr_t read[2][std::size(guards)]{};
    for (auto& run : read) {
        const ProgramRun reading = runToEnd(reader, L"\"" + reader + L"\" --gtest_filter=StackGuard.*",
                                            scratch.path() + L"\\output.txt", readerTimeoutMs);
        ASSERT_TRUE(reading.failure.empty()) << reading.failure;
        ASSERT_EQ(reading.exitStatus, 0u) << reading.output;
        for (std::size_t i = 0; i < std::size(guards); ++i) {
            const std::size_t label = reading.output.find(guards[i].label);
            ASSERT_NE(label, std::string::npos) << reading.output;
            run[i] = std::stoull(reading.output.substr(label + std::strlen(guards[i].label)), nullptr, 16);
        }
    }
    for (std::size_t i = 0; i < std::size(guards); ++i) {
        SCOPED_TRACE(guards[i].whose);
        EXPECT_NE(read[0][i], read[1][i]) << std::hex << "two processes had the same guard 0x" << read[0][i];
        for (const auto& run : read) {
            EXPECT_NE(run[i], unseeded) << std::hex << "the guard was never seeded: 0x" << run[i];
            EXPECT_EQ(run[i] & 0xff, 0u) << std::hex << "guard 0x" << run[i]
                                         << ": its lowest byte, the first an overflow reaches, is not zero";
        }
    }
}

}  // namespace
}  // namespace scriptfonts::test
