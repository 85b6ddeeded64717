// Link session: exchange paths and the data area taken as it is needed.
#include "link/link_session.h"

#include <string>
#include <utility>

namespace padlink {

std::atomic<int> lastSessionId{0};

namespace {

constexpr std::size_t kTableRecordLimit = 512'000;

constexpr std::array<TableLayout, kTableCount> kLayouts{{
    {50, kTableRecordLimit},  // dishes
    {16, kTableRecordLimit},  // dish categories, first level
    {18, kTableRecordLimit},  // dish categories, second level
    {4, kTableRecordLimit},   // default cooking methods
    {6, kTableRecordLimit},   // set meals
    {22, kTableRecordLimit},  // rooms and tables
    {22, kTableRecordLimit},  // return reasons
    {16, kTableRecordLimit},  // cooking methods, first level
    {32, kTableRecordLimit},  // cooking methods, second level
    {14, kTableRecordLimit},  // units
    {22, kTableRecordLimit},  // statistics categories
    {12, kTableRecordLimit},  // floors
    {39, 5},                  // print types
}};

bool validTable(int table) { return table >= 1 && table <= kTableCount; }

}  // namespace

TableLayout tableLayout(int table) {
    return validTable(table) ? kLayouts[static_cast<std::size_t>(table - 1)] : TableLayout{0, 0};
}

LinkSession::LinkSession(std::filesystem::path folder, int stationId)
    : folder_(std::move(folder)),
      stationId_(stationId),
      requestFile_(folder_ / ("TX" + std::to_string(stationId) + ".txt")),
      answerFile_(folder_ / ("RX" + std::to_string(stationId) + ".txt")) {
    lastSessionId.store(stationId, std::memory_order_relaxed);
}

void LinkSession::clearDataArea() {
    // clear() keeps the capacity, so a busy station allocates nothing per answer.
    request_.clear();
    for (auto& table : tables_) {
        table.clear();
    }
}

std::span<std::uint8_t> LinkSession::requestArea(std::size_t size) {
    if (request_.size() < size) {
        request_.resize(size, 0);
    }
    return {request_.data(), request_.size()};
}

bool LinkSession::appendRecord(int table, std::span<const std::uint8_t> record) {
    const TableLayout layout = tableLayout(table);
    if (layout.recordBytes == 0 || record.size() != layout.recordBytes) {
        return false;
    }
    auto& bytes = tables_[static_cast<std::size_t>(table - 1)];
    if (bytes.size() / layout.recordBytes >= layout.recordLimit) {
        return false;
    }
    bytes.insert(bytes.end(), record.begin(), record.end());
    return true;
}

std::uint32_t LinkSession::recordCount(int table) const {
    const TableLayout layout = tableLayout(table);
    if (layout.recordBytes == 0) {
        return 0;
    }
    return static_cast<std::uint32_t>(tables_[static_cast<std::size_t>(table - 1)].size() /
                                      layout.recordBytes);
}

std::span<const std::uint8_t> LinkSession::records(int table) const {
    if (!validTable(table)) {
        return {};
    }
    return tables_[static_cast<std::size_t>(table - 1)];
}

}  // namespace padlink
