#include "platform/win32/win32.h"

// Loading and unloading set nothing up: every call stands on its own.
BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }
