#include "support/copied_program.h"

#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/test_files.h"

namespace scriptfonts::test {

StartedProgram startCopiedProgram(const std::wstring& executable, std::wstring commandLine, HANDLE output) {
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    if (output != nullptr) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = output;
        startup.hStdError = output;
    }
    PROCESS_INFORMATION created{};
    StartedProgram started;
    if (!CreateProcessW(executable.c_str(), commandLine.data(), nullptr, nullptr, output != nullptr, 0, nullptr,
                        nullptr, &startup, &created)) {
        started.failure = "CreateProcessW(" + toUtf8(executable) + ") failed, error " + std::to_string(GetLastError());
        return started;
    }
    started.process.reset(created.hProcess);
    CloseHandle(created.hThread);
    started.processId = created.dwProcessId;
    return started;
}

ProgramRun runToEnd(const std::wstring& executable, const std::wstring& commandLine, const std::wstring& outputFile,
                    DWORD timeoutMs) {
    ProgramRun run;
    {
        SECURITY_ATTRIBUTES inherited{sizeof inherited, nullptr, TRUE};
        const UniqueKernelHandle output(ownKernelHandle(CreateFileW(outputFile.c_str(), GENERIC_WRITE,
                                                                    FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                                                                    CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr)));
        if (!output) {
            run.failure = "cannot create " + toUtf8(outputFile) + ", error " + std::to_string(GetLastError());
            return run;
        }
        const StartedProgram started = startCopiedProgram(executable, commandLine, output.get());
        if (!started.process) {
            run.failure = started.failure;
            return run;
        }
        if (WaitForSingleObject(started.process.get(), timeoutMs) != WAIT_OBJECT_0) {
            run.failure = toUtf8(executable) + " still running after " + std::to_string(timeoutMs) + " ms; killed";
            TerminateProcess(started.process.get(), STILL_ACTIVE);
            WaitForSingleObject(started.process.get(), timeoutMs);
        }
        GetExitCodeProcess(started.process.get(), &run.exitStatus);
    }
    std::ifstream file(std::filesystem::path(outputFile), std::ios::binary);
    run.output.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
    return run;
}

}  // namespace scriptfonts::test
