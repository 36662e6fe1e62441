// The stack guard as the canary checks read it, seeded by this program's entry
// point as the DLL's is by its own: run twice as a copy that prints it, it must
// differ from run to run and from the unseeded value, with a zero lowest byte.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/win32/stack_guard.h"
#include "support/copied_program.h"
#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

constexpr wchar_t readerExecutable[] = L"stack-guard-reader.exe";
constexpr char guardLabel[] = "stack guard ";
constexpr DWORD readerTimeoutMs = 60000;

TEST(StackGuard, SeededAnewInEachProcessWithAZeroLowestByte) {
    if (testProgramNamed(readerExecutable)) {
        std::printf("%s%llx\n", guardLabel, static_cast<unsigned long long>(__stack_chk_guard));
        return;
    }
    const TemporaryDirectory scratch;
    const std::wstring reader = scratch.copyIn(testProgramPath(), readerExecutable);
    std::uintptr_t guards[2]{};
    for (std::uintptr_t& guard : guards) {
        const ProgramRun run = runToEnd(reader, L"\"" + reader + L"\" --gtest_filter=StackGuard.*",
                                        scratch.path() + L"\\output.txt", readerTimeoutMs);
        ASSERT_TRUE(run.failure.empty()) << run.failure;
        const std::size_t label = run.output.find(guardLabel);
        ASSERT_TRUE(run.exitStatus == 0 && label != std::string::npos) << run.output;
        guard = std::stoull(run.output.substr(label + sizeof guardLabel - 1), nullptr, 16);
    }
    EXPECT_NE(guards[0], guards[1]) << "two processes had the same guard";
    for (const std::uintptr_t guard : guards) {
        EXPECT_NE(guard, platform::win32::unseededStackGuard) << "the guard was never seeded";
        EXPECT_EQ(guard & 0xff, 0u) << std::hex << "guard 0x" << guard
                                    << ": its lowest byte, the first an overflow reaches, is not zero";
    }
}

}  // namespace
}  // namespace scriptfonts::test
