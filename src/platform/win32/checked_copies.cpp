// The checking copies -D_FORTIFY_SOURCE=2 makes mingw-w64's headers call when
// the compiler knows the size of the destination but not that the copy fits
// (libssp held them; its __chk_fail comes with the canary it seeds at load).
// Each refuses a copy that would run past the destination: the process ends
// as for a smashed canary, instead of the copy going ahead.
#include <cstddef>
#include <cstring>

#include "platform/win32/stack_guard.h"
#include "platform/win32/win32.h"

namespace {

std::size_t boundedLength(const char* text, std::size_t most) noexcept {
    std::size_t length = 0;
    while (length < most && text[length] != '\0') ++length;
    return length;
}

[[noreturn]] void copyOverruns() noexcept { scriptfonts::platform::win32::failFast(FAST_FAIL_RANGE_CHECK_FAILURE); }

// Appends count bytes of source and a NUL after the text in destination, whose
// buffer holds size bytes. The text already there must end inside the buffer,
// with room after it.
char* append(char* destination, const char* source, std::size_t count, std::size_t size) noexcept {
    const std::size_t start = boundedLength(destination, size);
    if (start == size || size - start <= count) copyOverruns();
    std::memcpy(destination + start, source, count);
    destination[start + count] = '\0';
    return destination;
}

}  // namespace

extern "C" {

[[noreturn]] void __chk_fail() { copyOverruns(); }

void* __memcpy_chk(void* destination, const void* source, std::size_t count, std::size_t size) {
    if (count > size) __chk_fail();
    return std::memcpy(destination, source, count);
}

void* __memmove_chk(void* destination, const void* source, std::size_t count, std::size_t size) {
    if (count > size) __chk_fail();
    return std::memmove(destination, source, count);
}

void* __mempcpy_chk(void* destination, const void* source, std::size_t count, std::size_t size) {
    if (count > size) __chk_fail();
    return static_cast<char*>(std::memcpy(destination, source, count)) + count;
}

void* __memset_chk(void* destination, int value, std::size_t count, std::size_t size) {
    if (count > size) __chk_fail();
    return std::memset(destination, value, count);
}

char* __strcpy_chk(char* destination, const char* source, std::size_t size) {
    const std::size_t length = std::strlen(source);
    if (length >= size) __chk_fail();
    return static_cast<char*>(std::memcpy(destination, source, length + 1));
}

char* __strncpy_chk(char* destination, const char* source, std::size_t count, std::size_t size) {
    if (count > size) __chk_fail();
    return std::strncpy(destination, source, count);
}

char* __strcat_chk(char* destination, const char* source, std::size_t size) {
    return append(destination, source, std::strlen(source), size);
}

char* __strncat_chk(char* destination, const char* source, std::size_t count, std::size_t size) {
    return append(destination, source, boundedLength(source, count), size);
}

}  // extern "C"
