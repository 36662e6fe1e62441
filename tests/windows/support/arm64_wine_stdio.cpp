// Linked into the test programs of the ARM64 build only: Debian 12's arm64
// Wine 8 builds its ucrtbase.dll as a Linux library, which reads a Windows
// va_list as Linux's, so every printf- or scanf-family call a Windows program
// makes into it crashes (GoogleTest's first line of output among them). Here
// those five entries of the UCRT are served by MinGW-w64's own formatting,
// linked in from its static library, which takes a Windows va_list as Windows
// on Arm itself does. The library and scriptfonts-run never carry this.
#include <cstdarg>
#include <cstddef>
#include <cstdio>
#include <cwchar>

extern "C" {

int __mingw_vfprintf(FILE* stream, const char* format, va_list arguments);
int __mingw_vfwprintf(FILE* stream, const wchar_t* format, va_list arguments);
int __mingw_vsnprintf(char* buffer, std::size_t count, const char* format, va_list arguments);
int __mingw_vsnwprintf(wchar_t* buffer, std::size_t count, const wchar_t* format, va_list arguments);
int __mingw_vsscanf(const char* text, const char* format, va_list arguments);

}  // extern "C"

namespace {

// The UCRT's option that asks for C99's snprintf: the length the whole text
// needs. Without it (_vsnprintf), a text cut short counts as -1.
constexpr unsigned long long standardSnprintfBehaviour = 2;

int countedAsAsked(unsigned long long options, int length, std::size_t count) {
    const bool cutShort = length >= 0 && static_cast<std::size_t>(length) >= count && count > 0;
    return cutShort && !(options & standardSnprintfBehaviour) ? -1 : length;
}

}  // namespace

extern "C" {

int __stdio_common_vfprintf(unsigned long long, FILE* stream, const char* format, _locale_t, va_list arguments) {
    return __mingw_vfprintf(stream, format, arguments);
}

int __stdio_common_vfwprintf(unsigned long long, FILE* stream, const wchar_t* format, _locale_t, va_list arguments) {
    return __mingw_vfwprintf(stream, format, arguments);
}

int __stdio_common_vsprintf(unsigned long long options, char* buffer, std::size_t count, const char* format,
                            _locale_t, va_list arguments) {
    return countedAsAsked(options, __mingw_vsnprintf(buffer, count, format, arguments), count);
}

int __stdio_common_vswprintf(unsigned long long options, wchar_t* buffer, std::size_t count, const wchar_t* format,
                             _locale_t, va_list arguments) {
    return countedAsAsked(options, __mingw_vsnwprintf(buffer, count, format, arguments), count);
}

// The texts scanned here end with a NUL: the count the UCRT is given is not needed.
int __stdio_common_vsscanf(unsigned long long, const char* text, std::size_t, const char* format, _locale_t,
                           va_list arguments) {
    return __mingw_vsscanf(text, format, arguments);
}

}  // extern "C"
