#include "support/test_files.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cwchar>
#include <filesystem>
#include <utility>

#include "support/win32_owners.h"

namespace scriptfonts::test {

std::wstring testProgramPath() { return run::programPath(); }

std::wstring besideTestProgram(const std::wstring& name) { return run::besideProgram(name); }

bool testProgramNamed(const wchar_t* name) {
    return _wcsicmp(std::filesystem::path(testProgramPath()).filename().c_str(), name) == 0;
}

std::wstring testFontPath(const std::wstring& fileName) { return besideTestProgram(L"test-fonts\\" + fileName); }

namespace {

int CALLBACK onFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM parameter) {
    auto& search = *reinterpret_cast<std::pair<const std::wstring*, bool>*>(parameter);
    if (*search.first == font->lfFaceName) search.second = true;
    return 1;
}

}  // namespace

bool faceInstalled(const std::wstring& faceName) {
    const UniqueScreenDC screen(GetDC(nullptr));
    if (!screen) {
        ADD_FAILURE() << "GetDC(nullptr) failed";
        return false;
    }
    LOGFONTW request{};
    request.lfCharSet = DEFAULT_CHARSET;
    std::pair<const std::wstring*, bool> search{&faceName, false};
    EnumFontFamiliesExW(screen.get(), &request, onFace, reinterpret_cast<LPARAM>(&search), 0);
    return search.second;
}

TemporaryDirectory::TemporaryDirectory() {
    static std::atomic<unsigned> sequence{0};
    const std::filesystem::path base = std::filesystem::temp_directory_path();
    path_ = (base / (temporaryDirectoryPrefix + std::to_wstring(GetCurrentProcessId()) + L"-" +
                     std::to_wstring(sequence++)))
                .wstring();
    std::filesystem::create_directories(path_);
}

TemporaryDirectory::~TemporaryDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

std::wstring TemporaryDirectory::copyIn(const std::wstring& source, const std::wstring& name) const {
    const std::filesystem::path target = std::filesystem::path(path_) / name;
    std::filesystem::copy_file(source, target, std::filesystem::copy_options::overwrite_existing);
    return target.wstring();
}

namespace {

// A process that cannot be opened for another reason (access) counts as running.
bool processEnded(DWORD id) {
    const UniqueKernelHandle process(OpenProcess(SYNCHRONIZE, FALSE, id));
    if (!process) return GetLastError() == ERROR_INVALID_PARAMETER;  // no such process
    return WaitForSingleObject(process.get(), 0) == WAIT_OBJECT_0;
}

}  // namespace

std::vector<std::wstring> temporaryDirectoriesOfEndedProcesses() {
    const std::wstring prefix = temporaryDirectoryPrefix;
    std::vector<std::wstring> ended;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(std::filesystem::temp_directory_path(error), error), end;
         !error && entry != end; entry.increment(error)) {
        const std::wstring name = entry->path().filename().wstring();
        if (name.compare(0, prefix.size(), prefix) != 0) continue;
        wchar_t* idEnd = nullptr;
        const unsigned long id = std::wcstoul(name.c_str() + prefix.size(), &idEnd, 10);
        if (*idEnd == L'-' && processEnded(id)) ended.push_back(entry->path().wstring());
    }
    return ended;
}

}  // namespace scriptfonts::test
