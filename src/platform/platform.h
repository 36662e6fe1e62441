// The library's only way to the operating system. Declarations are portable
// (char16_t text, opaque handles); the Windows implementation lives under
// win32/, and the unit tests supply a stand-in that records every call.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace scriptfonts::platform {

using NativeHandle = void*;
using WindowHandle = void*;
using DeviceContext = void*;
using ProcessId = std::uint32_t;

// --- text ---
// MultiByteToWideChar(CP_UTF8, 0, ...): units needed (no output) or written.
int utf8ToUtf16(const char* bytes, int byteCount, char16_t* out, int outCapacity) noexcept;
// _wcsicmp(a, b) == 0.
bool sameFileName(const char16_t* a, const char16_t* b) noexcept;

// --- font table ---
int addFontResource(const char16_t* path) noexcept;
int removeFontResource(const char16_t* path) noexcept;
// WM_FONTCHANGE posted to every top-level window; waits for none.
void broadcastFontChange() noexcept;

// --- processes ---
// GetCurrentProcessId(): the process the library is loaded into.
ProcessId currentProcessId() noexcept;
// GetModuleFileNameW(NULL): the full path of the process's executable, however
// long; empty when it cannot be read (a failure, or no memory for the path).
std::u16string currentExecutablePath() noexcept;
// A process snapshot, or the invalid handle value (-1) when none can be had.
NativeHandle createProcessSnapshot() noexcept;
void closeHandle(NativeHandle handle) noexcept;

struct ProcessEntry {
    static constexpr std::size_t exeFileCapacity = 260;
    char16_t exeFile[exeFileCapacity];  // file name without path, terminated
    ProcessId id;
};
bool firstProcess(NativeHandle snapshot, ProcessEntry& entry) noexcept;
bool nextProcess(NativeHandle snapshot, ProcessEntry& entry) noexcept;

// --- windows ---
// Calls visit for every top-level window until it returns false.
using WindowVisitor = bool (*)(WindowHandle window, void* context);
void forEachTopLevelWindow(WindowVisitor visit, void* context);
ProcessId windowProcessId(WindowHandle window) noexcept;
// WM_FONTCHANGE sent and waited for, within a bound, skipping hung windows:
// true when the window handled it, false when it timed out or was skipped.
bool sendFontChange(WindowHandle window) noexcept;
// WM_FONTCHANGE posted to one window, handled when its thread next pumps.
void postFontChange(WindowHandle window) noexcept;

// --- face-name enumeration ---
DeviceContext getDC(WindowHandle window) noexcept;
void releaseDC(WindowHandle window, DeviceContext dc) noexcept;

struct FontRequest {
    std::uint8_t charset;
    const char16_t* faceName;  // fewer than faceNameCapacity units, terminated
};
constexpr std::size_t faceNameCapacity = 32;  // LOGFONTW::lfFaceName, terminator included

// Calls visit with each enumerated font's face name; 0 stops, non-zero goes on.
using FontVisitor = int (*)(std::u16string_view faceName, void* context);
void enumerateFontFamilies(DeviceContext dc, const FontRequest& request, FontVisitor visit, void* context);

}  // namespace scriptfonts::platform
