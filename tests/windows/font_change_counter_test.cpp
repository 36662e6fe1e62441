// The removal and list tests count broadcasts with FontChangeCounter; a count
// of 0 there must mean nothing was posted, not that the window missed it.
#include <gtest/gtest.h>

#include <windows.h>

#include "support/font_change_counter.h"

namespace scriptfonts::test {
namespace {

TEST(FontChangeCounter, CountsEveryBroadcastPostedBeforeItIsAskedAndNoneTwice) {
    FontChangeCounter counter;
    ASSERT_EQ(counter.takeCount(), 0) << "nothing was posted yet";
    // Many rounds, because a race between a broadcast and the marker would
    // show only now and then.
    for (int round = 0; round < 200; ++round) {
        const int posted = round % 4;
        for (int i = 0; i < posted; ++i) {
            ASSERT_TRUE(PostMessageA(HWND_BROADCAST, WM_FONTCHANGE, 0, 0)) << "error " << GetLastError();
        }
        ASSERT_EQ(counter.takeCount(), posted) << "round " << round;
    }
}

}  // namespace
}  // namespace scriptfonts::test
