// Move-only owners for everything the library takes from the platform, so
// each is released on every path out of a call.
#pragma once

#include <cstdint>
#include <utility>

#include "platform/platform.h"

namespace scriptfonts::platform {

template <typename Handle, auto Close, std::intptr_t InvalidValue = 0>
class UniqueHandle {
public:
    UniqueHandle() noexcept = default;
    explicit UniqueHandle(Handle handle) noexcept : handle_(handle) {}
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) reset(other.release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    ~UniqueHandle() { reset(); }

    static Handle invalid() noexcept { return reinterpret_cast<Handle>(InvalidValue); }
    explicit operator bool() const noexcept { return handle_ != invalid(); }
    Handle get() const noexcept { return handle_; }
    Handle release() noexcept { return std::exchange(handle_, invalid()); }
    void reset(Handle handle = invalid()) noexcept {
        const Handle old = std::exchange(handle_, handle);
        if (old != invalid()) Close(old);
    }

private:
    Handle handle_ = invalid();
};

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
