#include "support/copied_program.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "support/test_files.h"

namespace scriptfonts::test {
namespace {

// Wine's CreateProcessW fails with ERROR_INTERNAL_ERROR (from
// STATUS_INTERNAL_ERROR) when the new process ends before it has told the
// wineserver it started, so that there is not even an exit status to report.
// The copy is complete and closed by then, and the same start from a fresh
// copy succeeded 1,300 times in a row here (alone, overlapping, beside other
// Wine programs, in a new prefix): the rare loss is Wine's process start, not
// the test's, so only that error is tried again, and each retry is reported.
constexpr DWORD wineLostStart = ERROR_INTERNAL_ERROR;
constexpr int startAttempts = 3;

StartedProgram startOnce(const std::wstring& executable, std::wstring commandLine, HANDLE output) {
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
        started.error = GetLastError();
        started.failure = "CreateProcessW(" + toUtf8(executable) + ") failed, error " + std::to_string(started.error);
        return started;
    }
    started.process.reset(created.hProcess);
    CloseHandle(created.hThread);
    started.processId = created.dwProcessId;
    return started;
}

}  // namespace

StartedProgram startCopiedProgram(const std::wstring& executable, const std::wstring& commandLine, HANDLE output) {
    StartedProgram started;
    for (int attempt = 1; attempt <= startAttempts; ++attempt) {
        started = startOnce(executable, commandLine, output);
        if (started.process || started.error != wineLostStart) break;
        std::fprintf(stderr, "NOTE: %s (attempt %d of %d)\n", started.failure.c_str(), attempt, startAttempts);
    }
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
