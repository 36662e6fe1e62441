// The project's one owner template for a handle taken from the system, so it
// is released on every path out. Depends on nothing: the library, the tool
// and the tests each name their owners with one-line aliases.
#pragma once

#include <cstdint>
#include <utility>

namespace scriptfonts {

// Close is the release function itself (CloseHandle, FreeLibrary, ...);
// InvalidValue is what the handle holds when it owns nothing.
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

}  // namespace scriptfonts
