// The manual choice of tables.
#include "download/download_flags.h"

namespace padlink {

TableChoice selectedTables{};
std::atomic<int> selectedTableCount{0};

ManualChoice globalManualChoice() { return {selectedTables, selectedTableCount}; }

void takeChoice(ManualChoice choice, std::span<const bool, kTableCount> boxes) {
    int count = 0;
    for (std::size_t slot = 0; slot < boxes.size(); ++slot) {
        choice.tables[slot].store(boxes[slot] ? static_cast<std::uint8_t>(slot + 1) : 0);
        count += boxes[slot] ? 1 : 0;
    }
    choice.count.store(count);
}

void removeFromChoice(ManualChoice choice, int table) {
    if (table < 1 || table > kTableCount) {
        return;
    }
    auto expected = static_cast<std::uint8_t>(table);
    if (choice.tables[static_cast<std::size_t>(table - 1)].compare_exchange_strong(expected, 0)) {
        choice.count.fetch_sub(1);
    }
}

}  // namespace padlink
