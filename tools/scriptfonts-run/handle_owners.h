// The files and modules scriptfonts-run opens, each closed or unloaded when its owner goes.
#pragma once

#include <windows.h>

#include <string>

#include "platform/unique_handle.h"

namespace scriptfonts::run {

using UniqueFile = UniqueHandle<HANDLE, CloseHandle, -1>;  // INVALID_HANDLE_VALUE when empty
using UniqueModule = UniqueHandle<HMODULE, FreeLibrary>;

// Empty (with the error in GetLastError) when it cannot be opened.
inline UniqueFile openForReading(const std::wstring& path) {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace scriptfonts::run
