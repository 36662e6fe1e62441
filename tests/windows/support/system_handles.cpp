#include "support/system_handles.h"

#include <windows.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace scriptfonts::test {
namespace {

struct Entry {
    void* object;
    ULONG_PTR processId;
    ULONG_PTR handle;
    ULONG access;
    USHORT creatorBackTraceIndex;
    USHORT objectType;
    ULONG attributes;
    ULONG reserved;
};
struct Header {
    ULONG_PTR count;
    ULONG_PTR reserved;
};
constexpr ULONG systemExtendedHandleInformation = 64;
constexpr LONG statusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr std::size_t largestList = 64 << 20;

}  // namespace

HandleRows handleRowsOfThisProcess() {
    using Query = LONG(WINAPI*)(ULONG informationClass, void* buffer, ULONG bytes, ULONG* needed);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    if (query == nullptr) return {false, 0, GetLastError()};
    std::vector<ULONG_PTR> buffer(1 << 16);  // aligned for the entries' pointers
    for (;;) {
        const std::size_t bytes = buffer.size() * sizeof(ULONG_PTR);
        const LONG status = query(systemExtendedHandleInformation, buffer.data(), static_cast<ULONG>(bytes), nullptr);
        if (status == 0) break;
        if (status != statusInfoLengthMismatch || bytes >= largestList) return {false, 0, static_cast<DWORD>(status)};
        buffer.resize(buffer.size() * 2);
    }

    Header header;
    std::memcpy(&header, buffer.data(), sizeof header);
    const std::size_t fits = (buffer.size() * sizeof(ULONG_PTR) - sizeof header) / sizeof(Entry);
    const auto* entries = reinterpret_cast<const unsigned char*>(buffer.data()) + sizeof header;
    const DWORD self = GetCurrentProcessId();
    std::uint64_t ours = 0;
    for (std::size_t i = 0; i < std::min<std::size_t>(header.count, fits); ++i) {
        Entry entry;
        std::memcpy(&entry, entries + i * sizeof(Entry), sizeof entry);
        if (entry.processId == self) ++ours;
    }
    return {true, ours, 0};
}

}  // namespace scriptfonts::test
