// A console program's entry point (-Wl,-e,scriptfontsGuardedProgramEntry): the
// stack guard is seeded before the C runtime's own entry starts anything that
// checks it.
#include "platform/win32/stack_guard.h"

extern "C" int mainCRTStartup();

extern "C" __attribute__((no_stack_protector)) int scriptfontsGuardedProgramEntry() {
    scriptfonts::platform::win32::seedStackGuard();
    return mainCRTStartup();
}
