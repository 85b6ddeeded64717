// The flags a table download shares with the download page: the manual
// choice of tables (written by the page at "下载", trimmed by a poll thread
// when a chosen file is missing) and views of the link flags the
// conversations read. All are atomics read afresh at each use; nothing here
// locks or waits, and nothing here may touch a window.
#pragma once

#include "link/link_flags.h"
#include "link/link_session.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <span>

namespace padlink {

// Slot i holds table number i+1 when its box was checked at "下载", else 0.
using TableChoice = std::array<std::atomic<std::uint8_t>, kTableCount>;

extern TableChoice selectedTables;
extern std::atomic<int> selectedTableCount;

struct ManualChoice {
    TableChoice& tables;
    std::atomic<int>& count;
};

// The process-wide choice.
ManualChoice globalManualChoice();

// The page's "下载": slot i from box i (table i+1), the count of checked boxes.
void takeChoice(ManualChoice choice, std::span<const bool, kTableCount> boxes);

// A chosen table whose file is missing. The count only drops when the slot
// still held the table, so it never goes below the slots that are set.
void removeFromChoice(ManualChoice choice, int table);

// What the conversations read. stopRequested, downloadMode and the station
// flags are the link's own (link/link_flags.h, logs/station_display.h); the
// poll-thread adapter fills this from them (globalDownloadFlags there).
struct DownloadFlags {
    std::atomic<int>& stopRequested;
    std::atomic<int>& downloadMode;
    StationFlags& stationSelected;
    StationFlags& stationDisplay;
    ManualChoice choice;
};

}  // namespace padlink
