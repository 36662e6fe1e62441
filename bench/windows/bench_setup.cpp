#include "bench_setup.h"

#include <windows.h>

#include "support/test_files.h"

namespace scriptfonts::bench {
namespace {

std::wstring number(int index) {
    std::wstring digits = std::to_wstring(index);
    return std::wstring(digits.size() < 4 ? 4 - digits.size() : 0, L'0') + digits;
}

}  // namespace

std::wstring BenchFonts::path(int index) const { return directory_ + L"\\bench-" + number(index) + L".ttf"; }

std::wstring BenchFonts::face(int index) { return L"ScriptFonts bench " + number(index); }

void BenchFonts::require(int count) const {
    for (int index = 0; index < count; ++index) {
        if (GetFileAttributesW(path(index).c_str()) == INVALID_FILE_ATTRIBUTES) {
            throw BenchError("missing " + test::toUtf8(path(index)) +
                             ": make the fonts with scripts/make-fonts.py --count " + std::to_string(count) +
                             " --prefix bench --out-dir DIR (scripts/bench does)");
        }
    }
}

ScriptCall::ScriptCall(const test::ScriptLibrary& library, const char* name)
    : name_(name), function_(library.function(name)) {
    if (function_ == nullptr) throw BenchError(name_ + " is not exported by scriptfonts.dll");
}

void ScriptCall::failed(std::int32_t status) const {
    throw BenchError(name_ + " returned status " + std::to_string(status));
}

}  // namespace scriptfonts::bench
