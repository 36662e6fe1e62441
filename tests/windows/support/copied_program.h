// Starting a test program that runs from a copy in a scratch folder (a
// stand-in host, the DLL's own host), and running one to its end.
#pragma once

#include <windows.h>

#include <string>

#include "support/win32_owners.h"

namespace scriptfonts::test {

struct StartedProgram {
    UniqueKernelHandle process;  // null when it did not start
    DWORD processId = 0;
    DWORD error = 0;      // CreateProcessW's, when it did not start
    std::string failure;  // why it did not start
};

// CreateProcessW(executable, commandLine); with `output`, the program's
// standard output and error go to that inheritable handle. A start that
// Wine loses is tried again (see the source).
StartedProgram startCopiedProgram(const std::wstring& executable, const std::wstring& commandLine,
                                  HANDLE output = nullptr);

struct ProgramRun {
    std::string failure;  // empty when the program ran to its end
    DWORD exitStatus = STILL_ACTIVE;
    std::string output;  // standard output and error together
};

// Starts the program with its output in outputFile (which is then read) and
// waits for it; one still running after timeoutMs is killed.
ProgramRun runToEnd(const std::wstring& executable, const std::wstring& commandLine, const std::wstring& outputFile,
                    DWORD timeoutMs);

}  // namespace scriptfonts::test
