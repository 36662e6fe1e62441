#include "platform/win32/win32.h"

#if defined(__GLIBCXX__)
// libstdc++ frees what it allocated at load (its emergency exception pool) only
// when asked; it declares this in no header.
namespace __gnu_cxx {
void __freeres() noexcept;
}
#endif

// Loading sets nothing up: every call stands on its own (the stack guard is
// seeded before this runs, by the image's entry point). Unloading hands back
// what the static C++ runtime keeps, or each FreeLibrary would leak it. Only
// on FreeLibrary (null reserved): at process exit the memory goes anyway, and
// other threads may be gone mid-call.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
#if defined(__GLIBCXX__)
    if (reason == DLL_PROCESS_DETACH && reserved == nullptr) __gnu_cxx::__freeres();
#else
    (void)reason;
    (void)reserved;
#endif
    return TRUE;
}
