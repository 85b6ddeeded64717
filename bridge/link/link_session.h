// Per-station state of the conversation with the handhelds: the exchange file
// paths and the data area that holds the decoded request and the tables
// loaded for a download.
//
// The data area is taken as it is used instead of being reserved up front: a
// request area that grows zero-filled, and one record list per table that
// grows up to the table's record limit. Clearing it makes the next answer or
// download start from zeros, as if the whole area had been wiped, without
// touching memory nobody used. Never hand out memory that survives a clear.
#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <span>
#include <vector>

namespace padlink {

inline constexpr int kTableCount = 13;

struct TableLayout {
    std::size_t recordBytes;
    std::size_t recordLimit;
};

// Layout of table 1..13; a number out of range yields a layout of size 0.
TableLayout tableLayout(int table);

// Station id of the session created last; the line-watch notice carries it.
extern std::atomic<int> lastSessionId;

class LinkSession {
public:
    LinkSession(std::filesystem::path folder, int stationId);

    const std::filesystem::path& folder() const { return folder_; }
    int stationId() const { return stationId_; }
    // The bridge writes the request line here ...
    const std::filesystem::path& requestFile() const { return requestFile_; }
    // ... and reads the front end's answer from here.
    const std::filesystem::path& answerFile() const { return answerFile_; }

    // Start of every answer and every download.
    void clearDataArea();

    // At least `size` bytes of the request area, zero unless written since the
    // last clear. A larger size may move the area: spans taken earlier die.
    std::span<std::uint8_t> requestArea(std::size_t size);

    // Appends one record of the table's exact size; false (nothing stored)
    // for a wrong table number or size, or once the table is full.
    bool appendRecord(int table, std::span<const std::uint8_t> record);
    std::uint32_t recordCount(int table) const;
    std::span<const std::uint8_t> records(int table) const;

    int packetCount = 1;
    int packetCursor = 0;

private:
    std::filesystem::path folder_;
    int stationId_;
    std::filesystem::path requestFile_;
    std::filesystem::path answerFile_;
    std::vector<std::uint8_t> request_;
    std::array<std::vector<std::uint8_t>, kTableCount> tables_;
};

}  // namespace padlink
