// A running stand-in host (stand_in_host.exe copied under a host's
// executable name) whose windows count the WM_FONTCHANGE they receive.
#pragma once

#include <windows.h>

#include <array>
#include <string>

#include "support/stand_in_host_protocol.h"
#include "support/test_files.h"
#include "support/win32_owners.h"

namespace scriptfonts::test {

enum class HostWindows { responsive, secondHung };

using FontChangeCounts = std::array<LONG, stand_in::windowCount>;

class StandInHost {
public:
    // Copies the program into a fresh directory as executableName, starts it
    // and waits until both windows exist. When that fails the current test
    // fails and running() is false.
    explicit StandInHost(const std::wstring& executableName, HostWindows windows = HostWindows::responsive);
    // Quits the host (killing it if it does not go), waits for it, then
    // removes the copy.
    ~StandInHost();
    StandInHost(const StandInHost&) = delete;
    StandInHost& operator=(const StandInHost&) = delete;

    bool running() const { return processId_ != 0; }
    DWORD processId() const { return processId_; }
    const std::wstring& executableName() const { return executableName_; }
    // WM_FONTCHANGE handled by each window so far, and how many of them were
    // sent (the sender waited for the window) rather than posted. A sent
    // message is counted by the time its send returns.
    FontChangeCounts fontChanges() const;
    FontChangeCounts sentFontChanges() const;
    HWND window(int index) const;
    // A hung window's thread starts pumping messages.
    bool resume();

    // Asks the host to quit and waits; its exit status, 0 when it quit cleanly
    // (STILL_ACTIVE when it had to be killed).
    DWORD stop();

private:
    bool start(HostWindows windows);

    std::wstring executableName_;
    TemporaryDirectory directory_;  // outlives the process that runs from it
    UniqueKernelHandle ready_;
    UniqueKernelHandle quit_;
    UniqueKernelHandle resume_;
    UniqueKernelHandle mapping_;
    UniqueView report_;
    UniqueKernelHandle process_;
    DWORD processId_ = 0;
};

}  // namespace scriptfonts::test
