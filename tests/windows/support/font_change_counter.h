// A hidden top-level window of the test process that counts the
// WM_FONTCHANGE it receives. A message posted to HWND_BROADCAST is queued to
// it like to every other top-level window, so the count shows what the
// library broadcast.
#pragma once

#include <windows.h>

#include "support/win32_owners.h"

namespace scriptfonts::test {

class FontChangeCounter {
public:
    FontChangeCounter();  // fails the current test when the window cannot be made
    FontChangeCounter(const FontChangeCounter&) = delete;
    FontChangeCounter& operator=(const FontChangeCounter&) = delete;

    // How many WM_FONTCHANGE arrived since the previous call, counted once
    // every message posted to this thread before the call has been delivered.
    // Fails the current test and returns -1 when that takes too long.
    int takeCount();

private:
    static LRESULT CALLBACK windowProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    int fontChanges_ = 0;
    WPARAM lastMarkerPosted_ = 0;
    WPARAM lastMarkerSeen_ = 0;
    UniqueWindow window_;  // last: destroyed first, while the counts above still exist
};

}  // namespace scriptfonts::test
