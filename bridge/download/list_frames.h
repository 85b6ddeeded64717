// The frames that open a download and the short frames around the data
// packets: the table list of a manual download (with its time stamp), the
// version file 数据库版本.txt and the update list built by comparing it with
// a handheld's rows, the no-update answer and the end-of-table frame. All are
// built in the 4096-byte buffer that still holds the handheld's request;
// bytes the request set and the frame keeps are left alone. Never show a
// message from here: they come back as values.
#pragma once

#include "download/table_files.h"

#include <array>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace padlink {

struct LocalTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
};

LocalTime currentLocalTime();

// A modal box for the operator; an empty caption means the program's own.
struct Notice {
    std::string text;     // GBK
    std::string caption;  // GBK
};

inline constexpr std::size_t kVersionRows = 11;
using VersionRow = std::array<std::uint8_t, 7>;
using VersionRows = std::array<VersionRow, kVersionRows>;

// The first 11 lines, 7 integers each, one byte per value; what is missing is 0.
VersionRows readVersionFile(const std::filesystem::path& folder);

struct TableListBuild {
    std::size_t length = 0;  // 0: no frame to send
    std::vector<Notice> notices;
};

// Loads every chosen table and lists it with the time stamp. A missing file
// stops the list at once (no frame).
TableListBuild buildTableList(DownloadBuffer buffer, LinkSession& session,
                              const std::filesystem::path& folder, ManualChoice choice,
                              const LocalTime& now);

struct UpdateListBuild {
    std::size_t length = 0;  // 0: answer with the no-update frame
    int differing = 0;       // rows in the list
    int tablesToSend = 0;    // of them, rows naming a table 1..13
    std::vector<Notice> notices;
};

// Compares the request's rows (in the buffer) with the version file, lists
// the bridge's rows that differ and loads their tables.
UpdateListBuild buildUpdateList(DownloadBuffer buffer, LinkSession& session,
                                const std::filesystem::path& folder, ManualChoice choice);

// The request's own first 12 bytes with code 0, type 8 and aux 1. Returns 12.
std::size_t noUpdateFrame(DownloadBuffer buffer);

// 01 00 xx 06 01 00 0C tt 00 00 00 0C, xx left from the request. Returns 12.
std::size_t endOfTableFrame(DownloadBuffer buffer, std::uint8_t table);

}  // namespace padlink
