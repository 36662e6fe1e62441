// The one place <windows.h> comes in (the build sets NOMINMAX and
// WIN32_LEAN_AND_MEAN for every object: cmake/CompilerSettings.cmake).
#pragma once

#include <windows.h>

#include <exception>

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

namespace scriptfonts::platform::win32 {

inline const wchar_t* wide(const char16_t* text) noexcept { return reinterpret_cast<const wchar_t*>(text); }

// Win32 calls our callbacks through C frames, which an exception must never
// cross: the callback stops the enumeration and the error is raised again
// once the platform call has returned.
class CallbackGuard {
public:
    template <typename Result, typename Body>
    Result run(Body body, Result stopValue) noexcept {
        try {
            return body();
        } catch (...) {
            error_ = std::current_exception();
            return stopValue;
        }
    }
    void rethrowIfFailed() const {
        if (error_) std::rethrow_exception(error_);
    }

private:
    std::exception_ptr error_;
};

}  // namespace scriptfonts::platform::win32
