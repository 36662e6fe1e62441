// Owners for what the library takes from the platform, so each is released
// on every path out of a call.
#pragma once

#include <utility>

#include "platform/platform.h"
#include "platform/unique_handle.h"

namespace scriptfonts::platform {

using UniqueSnapshot = UniqueHandle<NativeHandle, closeHandle, -1>;

// A device context is released together with the window it came from.
class UniqueWindowDC {
public:
    UniqueWindowDC(WindowHandle window, DeviceContext dc) noexcept : window_(window), dc_(dc) {}
    UniqueWindowDC(UniqueWindowDC&& other) noexcept
        : window_(other.window_), dc_(std::exchange(other.dc_, nullptr)) {}
    UniqueWindowDC& operator=(UniqueWindowDC&&) = delete;
    UniqueWindowDC(const UniqueWindowDC&) = delete;
    UniqueWindowDC& operator=(const UniqueWindowDC&) = delete;
    ~UniqueWindowDC() {
        if (dc_ != nullptr) releaseDC(window_, dc_);
    }

    explicit operator bool() const noexcept { return dc_ != nullptr; }
    DeviceContext get() const noexcept { return dc_; }

private:
    WindowHandle window_;
    DeviceContext dc_;
};

inline UniqueWindowDC screenDC() noexcept { return UniqueWindowDC{nullptr, getDC(nullptr)}; }

}  // namespace scriptfonts::platform
