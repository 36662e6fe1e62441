// The Win32 calls each script function has to make, made directly: the
// physical limit the library is measured against. Each sequence makes the
// same requests as the library (same flags, same timeout, same matching),
// starting from text already in UTF-16.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

namespace scriptfonts::bench::bare {

// registerFonts: AddFontResourceW for every path, then one posted broadcast.
// Returns how many additions succeeded.
int addFontsAndBroadcast(const std::vector<std::wstring>& paths);

// findFontByName: screen DC, EnumFontFamiliesExW for DEFAULT_CHARSET and the
// face, a callback comparing exactly, ReleaseDC.
bool faceInstalled(const std::wstring& face);

// How registerFont finds the host's process.
enum class HostSearch {
    // In a toolhelp snapshot, the calling process when it has the host's
    // executable name (_wcsicmp), else the first one that has.
    snapshot,
    // Inside the host: this process's own executable name
    // (GetModuleFileNameW(NULL), its last component, _wcsicmp), no snapshot.
    ownName,
};

// registerFont: AddFontResourceW, then WM_FONTCHANGE sent with
// SendMessageTimeoutW to each top-level window of the host's process, when
// one is found. True when added.
bool addFontAndTellHost(const std::wstring& path, const wchar_t* hostExecutable, HostSearch search);

// The copy and decoding the frame must do: MultiByteToWideChar(CP_UTF8, 0)
// asked for the size, then into a buffer of that size. Returns the units.
int decodeUtf8(const std::string& utf8, std::wstring& buffer);

}  // namespace scriptfonts::bench::bare
