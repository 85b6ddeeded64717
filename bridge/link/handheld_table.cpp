// Handheld table and the label of a handheld as the operator configured it.
#include "link/handheld_table.h"

#include <algorithm>
#include <cstdio>

namespace padlink {

void HandheldTable::clear() {
    for (auto& row : rows) {
        for (auto& entry : row) {
            entry.mark.store(0, std::memory_order_relaxed);
            entry.addressLow = entry.addressMiddle = entry.addressHigh = 0;
        }
    }
}

std::string handheldLabel(const HandheldTable& table, std::uint8_t addressLow, int handheldCount,
                          int stationIndex) {
    if (stationIndex < 0 || static_cast<std::size_t>(stationIndex) >= kMaxStations) {
        return {};
    }
    // The count is a byte and may exceed the row; never look past its 50 entries.
    const int limit = std::clamp(handheldCount, 0, static_cast<int>(kMaxHandhelds));
    const HandheldRow& row = table.rows[static_cast<std::size_t>(stationIndex)];
    for (int i = 0; i < limit; ++i) {
        const HandheldEntry& entry = row[static_cast<std::size_t>(i)];
        if (entry.addressLow == addressLow) {
            char text[8];
            std::snprintf(text, sizeof text, "%02x%02x%02x", entry.addressHigh,
                          entry.addressMiddle, entry.addressLow);
            return text;
        }
    }
    return {};
}

}  // namespace padlink
