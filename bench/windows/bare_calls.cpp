#include "bare_calls.h"

#include <tlhelp32.h>  // needs <windows.h> first

#include <cwchar>

#include "support/win32_owners.h"

namespace scriptfonts::bench::bare {
namespace {

constexpr UINT fontChangeReplyTimeoutMs = 5000;  // as the library waits

struct FaceSearch {
    const wchar_t* requested;
    bool found;
};

int CALLBACK matchFace(const LOGFONTW* font, const TEXTMETRICW*, DWORD, LPARAM parameter) {
    auto& search = *reinterpret_cast<FaceSearch*>(parameter);
    if (std::wcscmp(font->lfFaceName, search.requested) != 0) return 1;
    search.found = true;
    return 0;
}

DWORD findProcess(const wchar_t* executable) {
    const test::UniqueKernelHandle snapshot = test::ownKernelHandle(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot) return 0;
    const DWORD self = GetCurrentProcessId();
    DWORD first = 0;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof entry;
    for (BOOL more = Process32FirstW(snapshot.get(), &entry); more; more = Process32NextW(snapshot.get(), &entry)) {
        if (_wcsicmp(entry.szExeFile, executable) != 0) continue;
        if (entry.th32ProcessID == self) return self;
        if (first == 0) first = entry.th32ProcessID;
    }
    return first;
}

// Not test::testProgramNamed: its std::filesystem::path splits the path into components, allocations the
// library does not make, which took about 1 % off the ratios of the rows inside the host.
DWORD selfWhenNamed(const wchar_t* executable) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    if (length == 0 || length == MAX_PATH) return 0;
    const wchar_t* name = self;
    for (const wchar_t* unit = self; *unit != L'\0'; ++unit) {
        if (*unit == L'\\' || *unit == L'/') name = unit + 1;
    }
    return _wcsicmp(name, executable) == 0 ? GetCurrentProcessId() : 0;
}

BOOL CALLBACK tellHostWindow(HWND window, LPARAM host) {
    DWORD owner = 0;
    GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(host)) {
        DWORD_PTR reply = 0;
        SendMessageTimeoutW(window, WM_FONTCHANGE, 0, 0, SMTO_NORMAL | SMTO_ABORTIFHUNG, fontChangeReplyTimeoutMs,
                            &reply);
    }
    return TRUE;
}

}  // namespace

int addFontsAndBroadcast(const std::vector<std::wstring>& paths) {
    int added = 0;
    for (const std::wstring& path : paths) {
        if (AddFontResourceW(path.c_str()) != 0) ++added;
    }
    PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0);  // the call the library makes
    return added;
}

bool faceInstalled(const std::wstring& face) {
    LOGFONTW request{};
    request.lfCharSet = DEFAULT_CHARSET;
    if (wcscpy_s(request.lfFaceName, LF_FACESIZE, face.c_str()) != 0) return false;
    const test::UniqueScreenDC screen(GetDC(nullptr));
    if (!screen) return false;
    FaceSearch search{face.c_str(), false};
    EnumFontFamiliesExW(screen.get(), &request, matchFace, reinterpret_cast<LPARAM>(&search), 0);
    return search.found;
}

bool addFontAndTellHost(const std::wstring& path, const wchar_t* hostExecutable, HostSearch search) {
    if (AddFontResourceW(path.c_str()) == 0) return false;
    const DWORD host = search == HostSearch::snapshot ? findProcess(hostExecutable) : selfWhenNamed(hostExecutable);
    if (host != 0) EnumWindows(tellHostWindow, static_cast<LPARAM>(host));
    return true;
}

int decodeUtf8(const std::string& utf8, std::wstring& buffer) {
    const int byteCount = static_cast<int>(utf8.size() + 1);
    const int needed = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), byteCount, nullptr, 0);
    if (needed <= 0) return 0;
    if (buffer.size() < static_cast<std::size_t>(needed)) buffer.resize(static_cast<std::size_t>(needed));
    return MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), byteCount, buffer.data(), needed);
}

}  // namespace scriptfonts::bench::bare
