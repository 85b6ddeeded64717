// The monitor display switch.
#include "logs/station_display.h"

namespace padlink {

StationFlags stationDisplay{};

namespace {
bool inRange(int stationIndex) {
    return stationIndex >= 0 && static_cast<std::size_t>(stationIndex) < kMaxStations;
}
}  // namespace

void chooseDisplayedStation(StationFlags& display, int stationIndex) {
    if (!inRange(stationIndex)) {
        return;
    }
    for (std::size_t k = 0; k < display.size(); ++k) {
        display[k].store(static_cast<int>(k) == stationIndex ? 1 : 0);
    }
}

bool toggleStationDisplay(StationFlags& display, int selectedStation) {
    if (!inRange(selectedStation)) {
        return false;
    }
    auto& flag = display[static_cast<std::size_t>(selectedStation)];
    const bool on = flag.load() == 0;
    flag.store(on ? 1 : 0);
    return on;
}

}  // namespace padlink
