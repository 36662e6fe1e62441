// Paths, text conversion and temporary files for the Windows tests.
#pragma once

#include <string>
#include <vector>

#include "scriptfonts-run/text.h"

namespace scriptfonts::test {

// This program's own path (GetModuleFileNameW(NULL)), and a file's beside it.
std::wstring testProgramPath();
std::wstring besideTestProgram(const std::wstring& name);
// True when this program runs under that file name (a copy of it), in any case.
bool testProgramNamed(const wchar_t* name);
// A committed test font, copied next to the test programs at build time.
std::wstring testFontPath(const std::wstring& fileName);

using run::toUtf8;

// True when a font with exactly this face name is enumerated in this process.
bool faceInstalled(const std::wstring& faceName);

// Names a TemporaryDirectory: the prefix, the process id, '-', a sequence number.
inline constexpr wchar_t temporaryDirectoryPrefix[] = L"scriptfonts-test-";

// A fresh directory under %TEMP%, removed with everything in it on every path
// but a killed process's.
class TemporaryDirectory {
public:
    TemporaryDirectory();
    ~TemporaryDirectory();
    TemporaryDirectory(const TemporaryDirectory&) = delete;
    TemporaryDirectory& operator=(const TemporaryDirectory&) = delete;

    const std::wstring& path() const { return path_; }
    // Copies a file into the directory under a new name and returns its full path.
    std::wstring copyIn(const std::wstring& source, const std::wstring& name) const;

private:
    std::wstring path_;
};

// The TemporaryDirectory folders left behind by processes that no longer run.
std::vector<std::wstring> temporaryDirectoriesOfEndedProcesses();

}  // namespace scriptfonts::test
