#include "text.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "command_line.h"

namespace scriptfonts::run {

std::string toUtf8(std::wstring_view text) {
    if (text.empty()) return {};
    // Command-line words are at most 32767 units, so the counts fit an int.
    const int units = static_cast<int>(text.size());
    const int bytes = WideCharToMultiByte(CP_UTF8, 0, text.data(), units, nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<std::size_t>(bytes), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.data(), units, utf8.data(), bytes, nullptr, nullptr);
    return utf8;
}

std::wstring besideProgram(std::wstring_view fileName) {
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) throw RunError("cannot find this program's own path");
        if (length < path.size()) {
            path.resize(length);
            break;
        }
        path.resize(path.size() * 2);  // truncated: try a larger buffer
    }
    path.erase(path.find_last_of(L"\\/") + 1);
    return path.append(fileName);
}

Utf8Output::Utf8Output() : consoleCodePage_(GetConsoleOutputCP()) {
    if (consoleCodePage_ != 0) SetConsoleOutputCP(CP_UTF8);
    // Text mode would turn '\n' into "\r\n" in pipes and files.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

Utf8Output::~Utf8Output() {
    std::fflush(stdout);
    if (consoleCodePage_ != 0) SetConsoleOutputCP(consoleCodePage_);
}

void printLine(const std::string& line) {
    std::fwrite(line.data(), 1, line.size(), stdout);
    std::fputc('\n', stdout);
    // Each line is out before the next call, whatever that call does.
    std::fflush(stdout);
}

void printError(const std::string& message) {
    const std::string line = "scriptfonts-run: " + message + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

}  // namespace scriptfonts::run
