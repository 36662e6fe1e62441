#include "support/font_cleanup.h"

#include <windows.h>

namespace scriptfonts::test {

namespace {
// Far more additions than any test makes of one file; only a guard against a
// platform that never reports the file gone.
constexpr int maximumRemovals = 16;
}  // namespace

int FontCleanup::removeAll() {
    int removed = 0;
    while (removed < maximumRemovals && RemoveFontResourceW(path_.c_str())) ++removed;
    return removed;
}

}  // namespace scriptfonts::test
