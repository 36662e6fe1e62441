// The stack canary GCC's -fstack-protector-strong checks, and the one way a
// failed check ends the process. The project's own, in place of libssp's,
// whose constructor asked the crypto API for the canary while the loader
// lock was held.
#pragma once

#include <cstdint>

// What GCC's instrumented functions read on entry and compare on return.
extern "C" std::uintptr_t __stack_chk_guard;

namespace scriptfonts::platform::win32 {

// The guard until the entry point seeds it: a value of no process in particular.
inline constexpr std::uintptr_t unseededStackGuard = 0x5fd3c1a7e9b24600u;

// Sets __stack_chk_guard from what the process already has. Called once, first
// thing in the image's entry point, before any function that checks a canary
// can start; it checks none itself.
void seedStackGuard() noexcept;

// Ends the process at once with STATUS_STACK_BUFFER_OVERRUN, running no
// handler, no atexit routine and no DLL detach: after a smashed stack nothing
// of this process can be trusted. code is the FAST_FAIL_ reason.
[[noreturn]] void failFast(unsigned int code) noexcept;

}  // namespace scriptfonts::platform::win32
