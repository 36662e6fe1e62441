#include "text.h"

#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>

#include "handle_owners.h"

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

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

std::string systemMessage(unsigned long error, const std::string& subject) {
    wchar_t* buffer = nullptr;
    const DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
        error, 0, reinterpret_cast<wchar_t*>(&buffer), 0, nullptr);
    std::string text = length == 0 ? std::string() : toUtf8(std::wstring_view(buffer, length));
    LocalFree(buffer);
    // The system's text ends with a line break, and some name their subject as an insert.
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    for (auto at = text.find("%1"); at != std::string::npos; at = text.find("%1", at + subject.size())) {
        text.replace(at, 2, subject);
    }
    const std::string number = "Windows error " + std::to_string(error);
    return text.empty() ? number : text + " (" + number + ")";
}

std::string readFileBytes(const std::wstring& path) {
    const UniqueFile file = openForReading(path);
    const auto failed = [&] {
        return RunError("cannot read " + toUtf8(path) + ": " + systemMessage(GetLastError(), toUtf8(path)));
    };
    if (!file) throw failed();
    std::string bytes;
    char chunk[16384];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.get(), chunk, sizeof chunk, &read, nullptr)) throw failed();
        if (read == 0) return bytes;
        bytes.append(chunk, read);
    }
}

namespace {

// The length of the well-formed UTF-8 sequence at the start of text, or 0.
std::size_t utf8SequenceLength(std::string_view text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    const std::size_t length = lead >= 0xf0 ? 4 : lead >= 0xe0 ? 3 : lead >= 0xc0 ? 2 : 0;
    if (length == 0 || length > text.size()) return 0;
    // The system's decoder turns down overlong forms, surrogates and anything past U+10FFFF.
    const int bytes = static_cast<int>(length);
    return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, text.data(), bytes, nullptr, 0) > 0 ? length : 0;
}

}  // namespace

std::string quoted(std::string_view bytes) {
    static const char hex[] = "0123456789abcdef";
    std::string line = "\"";
    while (!bytes.empty()) {
        const unsigned char byte = static_cast<unsigned char>(bytes[0]);
        std::size_t length = 1;
        switch (byte) {
        case '"': line += "\\\""; break;
        case '\\': line += "\\\\"; break;
        case '\n': line += "\\n"; break;
        case '\r': line += "\\r"; break;
        case '\t': line += "\\t"; break;
        default:
            if (byte >= 0x20 && byte < 0x7f) {
                line += static_cast<char>(byte);
            } else if (byte >= 0x80 && (length = utf8SequenceLength(bytes)) != 0) {
                line.append(bytes.substr(0, length));
            } else {
                length = 1;
                line += "\\x";
                line += hex[byte >> 4];
                line += hex[byte & 0xf];
            }
        }
        bytes.remove_prefix(length);
    }
    return line + "\"";
}

std::wstring programPath() {
    std::wstring path(32768, L'\0');  // the longest path Windows has, in UTF-16 units
    path.resize(GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size())));
    if (path.empty()) throw RunError("cannot find this program's own path");
    return path;
}

std::wstring besideProgram(std::wstring_view fileName) {
    std::wstring path = programPath();
    path.erase(path.find_last_of(L"\\/") + 1);
    return path.append(fileName);
}

namespace {

// The console's code page before this program changed it, for the handler.
std::atomic<UINT> codePageToRestore{0};

// Runs on a thread of its own that the system starts for the event, while
// the main thread may be inside a call. Returning FALSE hands the event on
// to the default handler, which ends the process at once: no destructor
// runs, so the code page is put back here. The main thread may still print a
// line after this, in the restored code page.
BOOL WINAPI restoreCodePageOnInterrupt(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) SetConsoleOutputCP(codePageToRestore.load());
    return FALSE;
}

}  // namespace

Utf8Output::Utf8Output() : consoleCodePage_(GetConsoleOutputCP()) {
    if (consoleCodePage_ != 0) {
        codePageToRestore.store(consoleCodePage_);
        SetConsoleCtrlHandler(restoreCodePageOnInterrupt, TRUE);
        SetConsoleOutputCP(CP_UTF8);
    }
    // Text mode would turn '\n' into "\r\n" in pipes and files.
    _setmode(_fileno(stdout), _O_BINARY);
    _setmode(_fileno(stderr), _O_BINARY);
}

Utf8Output::~Utf8Output() {
    std::fflush(stdout);
    if (consoleCodePage_ != 0) {
        SetConsoleOutputCP(consoleCodePage_);
        SetConsoleCtrlHandler(restoreCodePageOnInterrupt, FALSE);
    }
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
