#include "platform/win32/stack_guard.h"

#include "platform/win32/win32.h"

std::uintptr_t __stack_chk_guard = scriptfonts::platform::win32::unseededStackGuard;

namespace scriptfonts::platform::win32 {
namespace {

// splitmix64's finaliser over the value absorbed so far: every input bit
// reaches every output bit, so inputs that differ in a few low bits (two
// process ids, two counter readings) give unrelated guards.
std::uint64_t absorb(std::uint64_t state, std::uint64_t value) noexcept {
    state = (state ^ value) + 0x9e3779b97f4a7c15u;
    state = (state ^ (state >> 30)) * 0xbf58476d1ce4e5b9u;
    state = (state ^ (state >> 27)) * 0x94d049bb133111ebu;
    return state ^ (state >> 31);
}

}  // namespace

// Only calls that read what the process or the system already holds: no
// module is loaded and no lock taken, as the loader lock is held here. The
// inputs of the C runtime's own cookie: the performance counter, the time,
// the process and thread ids, and addresses.
__attribute__((no_stack_protector)) void seedStackGuard() noexcept {
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    std::uint64_t state = absorb(0, static_cast<std::uint64_t>(counter.QuadPart));
    state = absorb(state, (std::uint64_t{now.dwHighDateTime} << 32) | now.dwLowDateTime);
    state = absorb(state, (std::uint64_t{GetCurrentProcessId()} << 32) | GetCurrentThreadId());
    // Where ASLR put this image and this thread's stack.
    state = absorb(state, reinterpret_cast<std::uintptr_t>(&__stack_chk_guard));
    state = absorb(state, reinterpret_cast<std::uintptr_t>(&counter));
    // The lowest byte, the first an overflow reaches, is zero: a runaway
    // string copy cannot write it and go on, and a string read stops there.
    std::uintptr_t guard = static_cast<std::uintptr_t>(state) & ~std::uintptr_t{0xff};
    if (guard == 0) guard = __stack_chk_guard;
    __stack_chk_guard = guard;
}

void failFast(unsigned int code) noexcept {
    // __fastfail: the kernel ends the process without running any handler of
    // its own (Windows 8 and later). Older systems lack the instruction.
    if (IsProcessorFeaturePresent(PF_FASTFAIL_AVAILABLE)) {
#if defined(__MINGW_FASTFAIL_IMPL)
        __fastfail(code);
#else
        // MinGW-w64 headers before version 11 lack __fastfail; their GCC here targets x64 alone.
        asm volatile("int $0x29" : : "c"(code) : "memory");
#endif
    }
    TerminateProcess(GetCurrentProcess(), STATUS_STACK_BUFFER_OVERRUN);
    __builtin_trap();
}

}  // namespace scriptfonts::platform::win32

// Every instrumented function calls this when its canary was overwritten.
extern "C" [[noreturn]] void __stack_chk_fail() {
    scriptfonts::platform::win32::failFast(FAST_FAIL_STACK_COOKIE_CHECK_FAILURE);
}
