// The running processes as a toolhelp snapshot delivers them, in its order.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace scriptfonts::test {

struct RunningProcess {
    DWORD id;
    std::wstring exeFile;  // file name without path, as the snapshot spells it
};

// Fails the current test and returns nothing when no snapshot can be had.
std::vector<RunningProcess> runningProcesses();

// The ids of the processes whose file name equals exeFile, letter case
// ignored, in snapshot order.
std::vector<DWORD> processIdsNamed(const std::wstring& exeFile);

}  // namespace scriptfonts::test
