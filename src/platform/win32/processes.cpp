#include <cwchar>

#include "platform/platform.h"
#include "platform/win32/win32.h"

#include <tlhelp32.h>  // needs <windows.h> first

namespace scriptfonts::platform {
namespace {

static_assert(sizeof(PROCESSENTRY32W) == 568, "the size the snapshot walk announces");
static_assert(ProcessEntry::exeFileCapacity == MAX_PATH);

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
