// An open file, closed when the owner goes.
#pragma once

#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace scriptfonts::run {

struct FileClose {
    void operator()(HANDLE file) const {
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    }
};
using UniqueFile = std::unique_ptr<std::remove_pointer_t<HANDLE>, FileClose>;

// INVALID_HANDLE_VALUE (with the error in GetLastError) when it cannot be opened.
inline UniqueFile openForReading(const std::wstring& path) {
    return UniqueFile(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
}

}  // namespace scriptfonts::run
