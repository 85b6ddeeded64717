// The process-wide link flags.
#include "link/link_flags.h"

#include "logs/station_display.h"

namespace padlink {

std::atomic<int> stopRequested{0};
std::atomic<int> downloadMode{0};
StationFlags stationSelected{};
HandheldTable handheldTable;

LinkState globalLinkState() {
    return {handheldTable, stopRequested, downloadMode, stationSelected, stationDisplay};
}

}  // namespace padlink
