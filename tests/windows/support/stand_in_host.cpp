#include "support/stand_in_host.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <exception>
#include <utility>

#include "support/copied_program.h"

namespace scriptfonts::test {
namespace {

// Generous for a process start under Wine; a healthy host is ready in well under a second.
constexpr DWORD startTimeoutMs = 20000;
constexpr DWORD quitTimeoutMs = 10000;

const stand_in::StandInHostReport& reportOf(const UniqueView& view) {
    return *static_cast<const stand_in::StandInHostReport*>(view.get());
}

std::wstring newSession() {
    static std::atomic<unsigned> sequence{0};
    return std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(sequence++);
}

}  // namespace

StandInHost::StandInHost(const std::wstring& executableName, HostWindows windows) : executableName_(executableName) {
    if (!start(windows)) stop();
}

StandInHost::~StandInHost() { stop(); }

bool StandInHost::start(HostWindows windows) {
    const std::wstring session = newSession();
    ready_.reset(CreateEventW(nullptr, TRUE, FALSE, stand_in::readyEventName(session).c_str()));
    quit_.reset(CreateEventW(nullptr, TRUE, FALSE, stand_in::quitEventName(session).c_str()));
    resume_.reset(CreateEventW(nullptr, TRUE, FALSE, stand_in::resumeEventName(session).c_str()));
    mapping_.reset(CreateFileMappingW(INVALID_HANDLE_VALUE, nullptr, PAGE_READWRITE, 0,
                                      sizeof(stand_in::StandInHostReport),
                                      stand_in::reportMappingName(session).c_str()));
    if (mapping_) report_.reset(MapViewOfFile(mapping_.get(), FILE_MAP_READ, 0, 0, 0));
    if (!ready_ || !quit_ || !resume_ || !report_) {
        ADD_FAILURE() << "cannot create the stand-in host's session objects, error " << GetLastError();
        return false;
    }

    std::wstring executable;
    try {
        executable = directory_.copyIn(besideTestProgram(L"stand_in_host.exe"), executableName_);
    } catch (const std::exception& error) {
        ADD_FAILURE() << "cannot copy stand_in_host.exe: " << error.what();
        return false;
    }
    std::wstring commandLine = L"\"" + executable + L"\" " + stand_in::sessionOption + L" " + session + L" " +
                               stand_in::ownerOption + L" " + std::to_wstring(GetCurrentProcessId());
    if (windows == HostWindows::secondHung) commandLine += std::wstring(L" ") + stand_in::hungSecondWindowOption;

    StartedProgram started = startCopiedProgram(executable, commandLine);
    if (!started.process) {
        ADD_FAILURE() << started.failure;
        return false;
    }
    process_ = std::move(started.process);
    processId_ = started.processId;

    const HANDLE startOrEnd[2] = {ready_.get(), process_.get()};
    const DWORD woken = WaitForMultipleObjects(2, startOrEnd, FALSE, startTimeoutMs);
    if (woken == WAIT_OBJECT_0) return true;
    DWORD exitStatus = 0;
    GetExitCodeProcess(process_.get(), &exitStatus);
    ADD_FAILURE() << toUtf8(executableName_) << " did not get ready (wait result " << woken << ", exit status "
                  << exitStatus << ")";
    return false;
}

FontChangeCounts StandInHost::fontChanges() const {
    FontChangeCounts counts{};
    if (!report_) return counts;
    for (int i = 0; i < stand_in::windowCount; ++i) counts[i] = reportOf(report_).windows[i].fontChanges;
    return counts;
}

FontChangeCounts StandInHost::sentFontChanges() const {
    FontChangeCounts counts{};
    if (!report_) return counts;
    for (int i = 0; i < stand_in::windowCount; ++i) counts[i] = reportOf(report_).windows[i].sentFontChanges;
    return counts;
}

HWND StandInHost::window(int index) const {
    if (!report_) return nullptr;
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(reportOf(report_).windows[index].window));
}

bool StandInHost::resume() { return resume_ && SetEvent(resume_.get()); }

DWORD StandInHost::stop() {
    if (!process_) return STILL_ACTIVE;
    if (quit_) SetEvent(quit_.get());
    if (WaitForSingleObject(process_.get(), quitTimeoutMs) != WAIT_OBJECT_0) {
        ADD_FAILURE() << toUtf8(executableName_) << " did not quit within " << quitTimeoutMs << " ms; killing it";
        TerminateProcess(process_.get(), STILL_ACTIVE);
        if (WaitForSingleObject(process_.get(), quitTimeoutMs) != WAIT_OBJECT_0) {
            ADD_FAILURE() << toUtf8(executableName_) << " survived TerminateProcess";
        }
    }
    DWORD exitStatus = STILL_ACTIVE;
    GetExitCodeProcess(process_.get(), &exitStatus);
    process_.reset();
    processId_ = 0;
    return exitStatus;
}

}  // namespace scriptfonts::test
