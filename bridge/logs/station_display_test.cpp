// The monitor page's display switch and its interplay with the port choice.
#include "logs/station_display.h"

#include <gtest/gtest.h>

namespace padlink {
namespace {

TEST(StationDisplay, ButtonTogglesAndPortChoiceTurnsTheChosenStationOn) {
    StationFlags display{};
    chooseDisplayedStation(display, 0);
    EXPECT_EQ(display[0].load(), 1);

    EXPECT_FALSE(toggleStationDisplay(display, 0));  // "显示数据"
    EXPECT_EQ(display[0].load(), 0);
    EXPECT_TRUE(toggleStationDisplay(display, 0));   // back to "停止显示"
    EXPECT_EQ(display[0].load(), 1);

    // Off, then another port chosen: that station shows, the others do not,
    // and the next press switches it off again.
    toggleStationDisplay(display, 0);
    chooseDisplayedStation(display, 3);
    EXPECT_EQ(display[3].load(), 1);
    for (int k : {0, 1, 2, 4, 5, 6, 7}) {
        EXPECT_EQ(display[static_cast<std::size_t>(k)].load(), 0) << k;
    }
    EXPECT_FALSE(toggleStationDisplay(display, 3));

    // Out of range indexes leave the flags alone.
    chooseDisplayedStation(display, 8);
    chooseDisplayedStation(display, -1);
    EXPECT_FALSE(toggleStationDisplay(display, 8));
    EXPECT_EQ(display[3].load(), 0);
}

}  // namespace
}  // namespace padlink
