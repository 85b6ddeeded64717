// The bridge's three configuration files in its TXT folder, read once at
// start-up: 系统时间.txt (timing and switches), 基站.txt (base stations and
// their ports) and 点菜机.txt (the handhelds of each base station). Keys and
// ids are compared as the GBK bytes of the files; messages are returned, not
// shown, so the window layer decides how to present them.
#pragma once

#include <atomic>

#include "link/handheld_table.h"
#include "link/poll_thread_params.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace padlink {

// "落单版本" of the running bridge: loaded with the timing file at start-up, read
// by the command layer for every item record.
extern std::atomic<int> orderVersion;


// A message for the operator, as GBK bytes. An empty caption means the
// program's default caption.
struct Message {
    std::string caption;
    std::string text;

    friend bool operator==(const Message&, const Message&) = default;
};

struct Timing {
    int pollInterval = 0;  // ms
    int readTimeout = 0;   // ms per byte
    int readInterval = 0;  // ms
    bool trafficLogEnabled = false;
    int orderVersion = 0;
};

struct TimingResult {
    Timing timing;
    std::vector<Message> messages;  // one per malformed line, in file order
    bool fileCreated = false;       // the file was missing and has been written
};

struct StationConfig {
    std::string portName;
    std::string stationId;  // leading '0' characters removed
    std::vector<std::string> handheldAddresses;  // as read, at most 50
    int handheldCount = 0;  // set once the handheld file was read through
};

struct StationsResult {
    // Number of base stations, or 0 or less on failure.
    int result = 0;
    std::array<StationConfig, kMaxStations> stations;
    std::vector<std::string> portNames;  // for the download page's port box
    std::optional<Message> message;      // set whenever result is not positive
};

// The TXT folder under `base` (found without regard to case).
std::filesystem::path txtFolder(const std::filesystem::path& base = std::filesystem::current_path());

TimingResult loadTiming(const std::filesystem::path& folder);
StationsResult loadStations(const std::filesystem::path& folder);

// Fills rows 0..stationCount-1 (at most 8) from the stations and returns the
// handheld count byte of every station.
std::array<std::uint8_t, kMaxStations> buildHandheldTable(
    const std::array<StationConfig, kMaxStations>& stations, int stationCount,
    HandheldTable& table);

// The record start-up hands to the poll thread of station `stationIndex`.
PollThreadParams pollThreadParams(const StationConfig& station, int stationIndex,
                                  std::uint8_t handheldCount, const Timing& timing,
                                  const std::filesystem::path& folder);

}  // namespace padlink
