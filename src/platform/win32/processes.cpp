#include <algorithm>
#include <cwchar>

#include "platform/platform.h"
#include "platform/win32/win32.h"

#include <tlhelp32.h>  // needs <windows.h> first

namespace scriptfonts::platform {
namespace {

static_assert(sizeof(PROCESSENTRY32W) == 568, "the size the snapshot walk announces");
static_assert(ProcessEntry::exeFileCapacity == MAX_PATH);

// The longest path Windows has (a UNICODE_STRING's 32,767 units), terminator included.
constexpr DWORD longestPathUnits = 32768;

bool copyEntry(BOOL delivered, const PROCESSENTRY32W& from, ProcessEntry& to) noexcept {
    if (!delivered) return false;
    const std::size_t length = wcsnlen(from.szExeFile, MAX_PATH - 1);
    wmemcpy(reinterpret_cast<wchar_t*>(to.exeFile), from.szExeFile, length);
    to.exeFile[length] = u'\0';
    to.id = from.th32ProcessID;
    return true;
}

PROCESSENTRY32W emptyEntry() noexcept {
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    return entry;
}

}  // namespace

ProcessId currentProcessId() noexcept { return GetCurrentProcessId(); }

std::u16string currentExecutablePath() noexcept {
    try {
        // MAX_PATH is the usual case, not a limit: \\?\ paths run longer.
        std::u16string path(MAX_PATH, u'\0');
        for (;;) {
            const auto capacity = static_cast<DWORD>(path.size());
            const DWORD length = GetModuleFileNameW(nullptr, reinterpret_cast<wchar_t*>(path.data()), capacity);
            if (length == 0) return {};
            if (length < capacity) {
                path.resize(length);
                return path;
            }
            // Cut off, the length then being the capacity: Windows Vista and
            // later also set ERROR_INSUFFICIENT_BUFFER, XP left it unterminated
            // and said nothing, so the length is what decides.
            if (capacity >= longestPathUnits) return {};
            path.resize(std::min(capacity * 2, longestPathUnits));
        }
    } catch (...) {
        return {};  // no memory for a long path: read as unknown
    }
}

NativeHandle createProcessSnapshot() noexcept { return CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0); }

void closeHandle(NativeHandle handle) noexcept { CloseHandle(handle); }

bool firstProcess(NativeHandle snapshot, ProcessEntry& entry) noexcept {
    PROCESSENTRY32W native = emptyEntry();
    return copyEntry(Process32FirstW(snapshot, &native), native, entry);
}

bool nextProcess(NativeHandle snapshot, ProcessEntry& entry) noexcept {
    PROCESSENTRY32W native = emptyEntry();
    return copyEntry(Process32NextW(snapshot, &native), native, entry);
}

}  // namespace scriptfonts::platform
