/*
 * scriptfonts: font activation for the scripting engine of Adobe Photoshop
 * and Adobe Illustrator, as a 64-bit Windows DLL.
 *
 * ABI
 * - 64-bit Windows, one DLL per machine: x64, and ARM64 (Windows on Arm).
 *   C linkage, exports by undecorated name only: the nine declared below.
 * - Text: every argument is NUL-terminated UTF-8 owned by the engine. The
 *   library reads it only during the call and keeps no pointer to it.
 *   Malformed UTF-8 is not rejected: each malformed sequence becomes U+FFFD.
 * - Script functions share one shape:
 *       int32_t fn(const TaggedValue* arguments, int32_t count, TaggedValue* result)
 *   They take exactly one argument tagged tagString. The return value is a
 *   status, never the outcome of the font work:
 *     statusOk            the work was done; the result record holds the
 *                         outcome: bytes 0-3 of its value are an int32_t and
 *                         its tag is tagInteger. Nothing else of the record
 *                         is written (bytes 4-7 of the value keep what the
 *                         engine put there).
 *     statusBadArguments  count is not 1, the argument is not tagged
 *                         tagString, a pointer is null, or the text is too
 *                         long for the platform's 32-bit counts. Nothing was
 *                         done.
 *     statusOutOfMemory   memory for the library's copy of the text could
 *                         not be had; the call stopped there (for a list,
 *                         the pieces before it were already added and are
 *                         announced by the usual broadcast).
 *   On every status but statusOk the result record is untouched. The values
 *   are the engine's own codes, so that the host reports each as what it is:
 *   0 kESErrOK, 20 kESErrBadArgumentList, -28 kESErrNoMemory ("Out of
 *   memory"; a negative code is one of the engine's fatal errors).
 * - Ownership: ESInitialize returns static text that lives as long as the
 *   library; never pass it to ESFreeMem (which ignores it). No script
 *   function hands memory to the engine. No handle outlives a call.
 * - Threads: no state is kept between calls, so any thread may call, several
 *   at once. No C++ exception ever leaves an export.
 */
#ifndef SCRIPTFONTS_H
#define SCRIPTFONTS_H

#include <stdint.h>

#if defined(_WIN32) && defined(SCRIPTFONTS_BUILDING)
#define SCRIPTFONTS_API __declspec(dllexport)
#elif defined(_WIN32)
#define SCRIPTFONTS_API __declspec(dllimport)
#else
#define SCRIPTFONTS_API
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* The engine's record for one argument or one result. */
typedef struct TaggedValue {
    union {
        const char* string; /* tagString: NUL-terminated UTF-8 */
        int32_t integer;    /* tagInteger: bytes 0-3 */
        unsigned char bytes[8];
    } value;
    int32_t tag;
    int32_t reserved; /* the engine's; never read or written */
} TaggedValue;

enum { tagString = 4, tagInteger = 123 };

enum { statusOk = 0, statusOutOfMemory = -28, statusBadArguments = 20 };

typedef int32_t (*ScriptFunction)(const TaggedValue* arguments, int32_t count, TaggedValue* result);

/* Lifecycle. ESInitialize's arguments are ignored; it returns the signature
 * list "registerFont_s, registerFontA_s, unRegisterFont_s, registerFonts_s,
 * findFontByName_s", always at the same address. */
SCRIPTFONTS_API const char* ESInitialize(const TaggedValue* arguments, int32_t count);
SCRIPTFONTS_API int32_t ESGetVersion(void); /* 4 */
SCRIPTFONTS_API void ESFreeMem(void* block);
SCRIPTFONTS_API void ESTerminate(void);

/* Adds the font file at the path; result 1 if added, else 0. When added,
 * every top-level window of one running Photoshop.exe (registerFont) or
 * Illustrator.exe (registerFontA) is sent WM_FONTCHANGE: the calling process
 * when its own executable has that name (then no process snapshot is taken)
 * or it is listed as one, else the first in the process snapshot. Each is
 * waited for up to 5 seconds, and a hung window is skipped. A window whose
 * send timed out or was skipped has the message posted, and sees it once it
 * pumps. */
SCRIPTFONTS_API int32_t registerFont(const TaggedValue* arguments, int32_t count, TaggedValue* result);
SCRIPTFONTS_API int32_t registerFontA(const TaggedValue* arguments, int32_t count, TaggedValue* result);

/* Withdraws the font file at the path; result always 0. When it was
 * withdrawn, WM_FONTCHANGE is posted to all top-level windows. */
SCRIPTFONTS_API int32_t unRegisterFont(const TaggedValue* arguments, int32_t count, TaggedValue* result);

/* Adds every piece of a comma-separated list of paths (split on each ',',
 * nothing trimmed or skipped), then posts WM_FONTCHANGE to all top-level
 * windows once; result always 1. */
SCRIPTFONTS_API int32_t registerFonts(const TaggedValue* arguments, int32_t count, TaggedValue* result);

/* Result 1 when a font whose face name equals the text exactly (letter case
 * included) is installed, else 0; names of 32 UTF-16 units or more are 0. */
SCRIPTFONTS_API int32_t findFontByName(const TaggedValue* arguments, int32_t count, TaggedValue* result);

#ifdef __cplusplus
}
#endif

#endif /* SCRIPTFONTS_H */
