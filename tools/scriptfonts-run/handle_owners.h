// The files and modules scriptfonts-run opens, each closed or unloaded when its owner goes, and the
// functions it looks up in a module.
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

// The module's exported function of that name, or null.
template <typename Function>
Function exported(HMODULE module, const char* name) {
    return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace scriptfonts::run
