// A DLL's entry point (-Wl,-e,scriptfontsGuardedDllEntry): the stack guard is
// seeded before the C runtime's own entry starts anything that checks it.
#include "platform/win32/stack_guard.h"
#include "platform/win32/win32.h"

extern "C" BOOL WINAPI DllMainCRTStartup(HINSTANCE instance, DWORD reason, LPVOID reserved);

extern "C" __attribute__((no_stack_protector)) BOOL WINAPI scriptfontsGuardedDllEntry(HINSTANCE instance,
                                                                                      DWORD reason,
                                                                                      LPVOID reserved) {
    // Once per load: later calls come while instrumented functions may be running.
    if (reason == DLL_PROCESS_ATTACH) scriptfonts::platform::win32::seedStackGuard();
    return DllMainCRTStartup(instance, reason, reserved);
}
