// Leaves the font table as a test found it, whatever the library did. On
// Windows an addition outlives the process that made it (until it is removed
// or the user logs off), so a test that was killed leaves its fonts to every
// later one: each addition of the file is withdrawn at construction as well
// as on scope exit, and the first FontCleanup of a process withdraws what
// killed runs left of every other test font (removeLeftoversOfEndedRuns).
#pragma once

#include <string>

namespace scriptfonts::test {

class FontCleanup {
public:
    explicit FontCleanup(std::wstring path);
    ~FontCleanup() { removeAll(); }
    FontCleanup(const FontCleanup&) = delete;
    FontCleanup& operator=(const FontCleanup&) = delete;

    // RemoveFontResourceW until it fails; returns how many removals succeeded.
    int removeAll();

private:
    std::wstring path_;
};

// Withdraws every addition of the committed test fonts and of the files in
// the scratch folders of ended processes (see TemporaryDirectory), and
// deletes those folders. Returns how many additions were withdrawn.
int removeLeftoversOfEndedRuns();

}  // namespace scriptfonts::test
