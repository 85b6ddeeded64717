// Which base station's traffic the monitor page shows. The user-interface
// thread switches the flags; every poll thread reads its own flag afresh at
// each poll, so they are atomics and nothing waits on them.
#pragma once

#include "link/link_flags.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace padlink {


// The monitor page's switch, one flag per base station.
extern StationFlags stationDisplay;

// The base station chosen in the download page's port box; its display is on
// and all others are off. Out-of-range indexes change nothing.
void chooseDisplayedStation(StationFlags& display, int stationIndex);

// The monitor page button: flips the chosen station's display and returns
// whether it is now on (the button reads "停止显示" then, "显示数据" when off).
bool toggleStationDisplay(StationFlags& display, int selectedStation);

}  // namespace padlink
