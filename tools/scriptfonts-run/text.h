// Text and paths at the edges of the program: the wide command line in,
// UTF-8 to the library and to the output.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace scriptfonts::run {

// Stops the run before any call is made, or instead of it (exit status 2);
// what the loader throws when a library cannot be used.
struct RunError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Unpaired surrogates become U+FFFD.
std::string toUtf8(std::wstring_view text);

// "a, b, c".
std::string joined(const std::vector<std::string>& items);

// The system's text for a Windows error code, with "%1" read as subject,
// followed by the number: "... (Windows error 193)".
std::string systemMessage(unsigned long error, const std::string& subject);

// Every byte of a file, unchanged; throws RunError when it cannot be read.
std::string readFileBytes(const std::wstring& path);

// Text as one printable line: in double quotes, with quotes, backslashes,
// control characters and bytes that are not well-formed UTF-8 escaped (\", \\, \n, \xff).
std::string quoted(std::string_view bytes);

// This program's own full path (GetModuleFileNameW(NULL)), and that of a file
// in the directory it was started from.
std::wstring programPath();
std::wstring besideProgram(std::wstring_view fileName);

// Makes the standard streams take UTF-8 with '\n' line ends on every
// platform; the console's code page is put back when the object goes, and on
// Ctrl+C or Ctrl+Break, which end the process without it going.
class Utf8Output {
public:
    Utf8Output();
    ~Utf8Output();
    Utf8Output(const Utf8Output&) = delete;
    Utf8Output& operator=(const Utf8Output&) = delete;

private:
    unsigned int consoleCodePage_;  // 0: no console
};

void printLine(const std::string& line);       // standard output
void printError(const std::string& message);   // standard error, as "scriptfonts-run: message"

}  // namespace scriptfonts::run
