// Flags the user-interface thread writes and every poll thread reads afresh
// at each use, without locks: atomics of the sizes the threads expect. The
// globals are what the running bridge uses; LinkState lets a test run poll
// threads on flags and a handheld table of its own.
#pragma once

#include "link/handheld_table.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace padlink {

using StationFlags = std::array<std::atomic<std::uint8_t>, kMaxStations>;

// Only ever set to 1: every poll thread ends at its next cycle.
extern std::atomic<int> stopRequested;
// A manual download runs on the selected station.
extern std::atomic<int> downloadMode;
// The base station chosen in the download page's port box.
extern StationFlags stationSelected;
// The station table the poll threads walk.
extern HandheldTable handheldTable;

struct LinkState {
    HandheldTable& table;
    std::atomic<int>& stopRequested;
    std::atomic<int>& downloadMode;
    StationFlags& stationSelected;
    StationFlags& stationDisplay;
};

// The process-wide flags and table.
LinkState globalLinkState();

}  // namespace padlink
