// A script library whose functions refuse every call: with status 20, as the
// real one does with malformed arguments, or with the status the argument
// names (any of the engine's codes). Built several times over (see
// CMakeLists.txt), most copies broken in one way an engine can meet: an
// entry left out, or a signature list that does not match.
// One answers ESGetVersion with the error mode it was loaded under; one
// loads a module while it loads; one overflows a local array before refusing.
#include <windows.h>

#include <cstdlib>
#include <cstring>

#include "scriptfonts.h"

#if defined(REPORTS_LOAD_ERROR_MODE)

static UINT loadErrorMode;
#define VERSION static_cast<int32_t>(loadErrorMode & (SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX))
#else
#define VERSION 4
#endif

#if defined(LISTS_UNEXPORTED_FUNCTION)
#define SIGNATURE_LIST "refuse_s, vanished_s"
#elif defined(RETURNS_NO_SIGNATURE_LIST)
#define SIGNATURE_LIST nullptr
#else
#define SIGNATURE_LIST "refuse_s, refuse_pair_ss"
#endif

// The lifecycle entries are exported by their declarations in scriptfonts.h; the functions by this.
#define EXPORTED __declspec(dllexport)

extern "C" {

#if defined(REPORTS_LOAD_ERROR_MODE)
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) loadErrorMode = GetErrorMode();
    return TRUE;
}
#elif defined(LOADS_A_MODULE)
// What libssp's seeding did: a DLL loaded, and let go, under the loader lock.
BOOL WINAPI DllMain(HINSTANCE, DWORD reason, void*) {
    if (reason == DLL_PROCESS_ATTACH) FreeLibrary(LoadLibraryW(L"version.dll"));
    return TRUE;
}
#endif

#if defined(SMASHES_STACK)
// The text runs past a local array through a copy the compiler cannot see
// into: only the canary, checked on return, can stop it.
static void overflow(const char* text) {
    char buffer[8];
    void* (*volatile copy)(void*, const void*, std::size_t) = std::memcpy;
    copy(buffer, text, std::strlen(text) + 1);
}
#else
static void overflow(const char*) {}
#endif

const char* ESInitialize(const TaggedValue*, int32_t) { return SIGNATURE_LIST; }
int32_t ESGetVersion(void) { return VERSION; }
void ESFreeMem(void*) {}
#if !defined(LEAVES_OUT_TERMINATE)  // an engine must not start a library it cannot end
void ESTerminate(void) {}
#endif

EXPORTED int32_t refuse(const TaggedValue* arguments, int32_t, TaggedValue* result) {
    overflow(arguments[0].value.string);
    result->tag = tagInteger;  // written anyway: the run must not report it as a result
    char* end = nullptr;
    const long named = std::strtol(arguments->value.string, &end, 10);
    return end != arguments->value.string && *end == '\0' ? static_cast<int32_t>(named) : statusBadArguments;
}

// Takes two strings: scriptfonts-run, which passes one, must not call it. Its
// name holds an underscore, as a script function's may: refuse_pair_ss splits at the last.
EXPORTED int32_t refuse_pair(const TaggedValue*, int32_t, TaggedValue*) { return statusBadArguments; }

}  // extern "C"
