// Which handhelds each base station polls, and in which order: 8 rows of 50
// entries, filled once at start-up. The download page marks entries while the
// poll threads read them, so the mark is the one field that changes later.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace padlink {

inline constexpr std::size_t kMaxStations = 8;
inline constexpr std::size_t kMaxHandhelds = 50;

// Mark of an entry chosen for the manual download; it is also the poll kind.
inline constexpr std::uint8_t kDownloadMark = 0x0C;

struct HandheldEntry {
    // Written by the user-interface thread while poll threads read it.
    std::atomic<std::uint8_t> mark{0};
    std::uint8_t addressLow = 0;
    std::uint8_t addressMiddle = 0;
    std::uint8_t addressHigh = 0;
};

using HandheldRow = std::array<HandheldEntry, kMaxHandhelds>;

struct HandheldTable {
    std::array<HandheldRow, kMaxStations> rows;

    void clear();
};

// The configured address ("%02x" high, middle, low) of the first of the
// station's first handheldCount entries whose low byte is addressLow; empty
// when none matches or the station index is out of range.
std::string handheldLabel(const HandheldTable& table, std::uint8_t addressLow, int handheldCount,
                          int stationIndex);

}  // namespace padlink
