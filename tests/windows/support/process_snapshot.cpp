#include "support/process_snapshot.h"

#include <gtest/gtest.h>

#include <cwchar>

#include "support/win32_owners.h"

#include <tlhelp32.h>  // needs <windows.h> first

namespace scriptfonts::test {

std::vector<RunningProcess> runningProcesses() {
    const UniqueKernelHandle snapshot = ownKernelHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) {
        ADD_FAILURE() << "CreateToolhelp32Snapshot failed, error " << GetLastError();
        return {};
    }
    std::vector<RunningProcess> processes;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        processes.push_back({entry.th32ProcessID, entry.szExeFile});
    }
    return processes;
}

std::vector<DWORD> processIdsNamed(const std::wstring& exeFile) {
    std::vector<DWORD> ids;
    for (const RunningProcess& process : runningProcesses()) {
        if (_wcsicmp(process.exeFile.c_str(), exeFile.c_str()) == 0) ids.push_back(process.id);
    }
    return ids;
}

}  // namespace scriptfonts::test
