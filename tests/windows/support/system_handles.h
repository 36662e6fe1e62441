// This process's rows in the system's table of open handles: the same number
// as GetProcessHandleCount, for platforms that do not keep that count (Wine).
#pragma once

#include <cstdint>

namespace scriptfonts::test {

struct HandleRows {
    bool taken;
    std::uint64_t count;
    unsigned long error;  // the NTSTATUS or Win32 error, when not taken
};

// Read with SystemExtendedHandleInformation, whose rows carry full process ids:
// the older class cuts them to 16 bits, so past 65535 another process's rows
// are counted as this one's.
HandleRows handleRowsOfThisProcess();

}  // namespace scriptfonts::test
