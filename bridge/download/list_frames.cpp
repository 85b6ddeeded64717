// List frames, the version file and the short frames.
#include "download/list_frames.h"

#include "config/text_file.h"
#include "download/download_texts.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace padlink {
namespace {

constexpr std::string_view kVersionFileName = "数据库版本.txt";
constexpr std::size_t kRowBytes = 7;

void startListFrame(DownloadBuffer buffer) {
    std::fill(buffer.begin() + kHeaderSize, buffer.end(), 0);
    buffer[0] = 1;
    buffer[3] = 8;
    buffer[4] = 1;
}

std::uint8_t lowByte(int value) { return static_cast<std::uint8_t>(value & 0xFF); }

}  // namespace

LocalTime currentLocalTime() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
}

VersionRows readVersionFile(const std::filesystem::path& folder) {
    VersionRows rows{};
    const auto lines = readTextLines(findIgnoringCase(folder, kVersionFileName));
    if (!lines) {
        return rows;
    }
    for (std::size_t r = 0; r < rows.size() && r < lines->size(); ++r) {
        const std::string& line = (*lines)[r];
        std::size_t at = 0;
        for (std::size_t v = 0; v < kRowBytes && at <= line.size(); ++v) {
            const std::size_t comma = std::min(line.find(',', at), line.size());
            const std::string value = line.substr(at, comma - at);
            rows[r][v] = lowByte(static_cast<int>(std::strtol(value.c_str(), nullptr, 10)));
            at = comma + 1;
        }
    }
    return rows;
}

TableListBuild buildTableList(DownloadBuffer buffer, LinkSession& session,
                              const std::filesystem::path& folder, ManualChoice choice,
                              const LocalTime& now) {
    TableListBuild build;
    startListFrame(buffer);
    if (choice.count.load() <= 0) {
        return build;
    }
    const std::array<std::uint8_t, 6> stamp{lowByte(now.year & 0x0F), lowByte(now.month),
                                            lowByte(now.day),          lowByte(now.hour),
                                            lowByte(now.minute),       lowByte(now.second)};
    std::size_t rows = 0;
    for (auto& slot : choice.tables) {
        const std::uint8_t table = slot.load();
        if (table == 0) {
            continue;
        }
        LoadResult load = loadTable(session, table, folder, choice);
        if (load.code == kTableMissing) {
            build.notices.push_back({std::move(load.message), {}});
            return build;
        }
        std::uint8_t* row = buffer.data() + kHeaderSize + rows * kRowBytes;
        row[0] = table;
        std::copy(stamp.begin(), stamp.end(), row + 1);
        ++rows;
    }
    if (rows == 0) {
        return build;
    }
    build.length = kHeaderSize + rows * kRowBytes;
    sealFrame(buffer, build.length);
    return build;
}

UpdateListBuild buildUpdateList(DownloadBuffer buffer, LinkSession& session,
                                const std::filesystem::path& folder, ManualChoice choice) {
    UpdateListBuild build;
    const VersionRows versions = readVersionFile(folder);
    const std::size_t requestLength = (std::size_t{buffer[5]} << 8) | buffer[6];
    const std::size_t requestRows =
        requestLength > kHeaderSize ? (requestLength - kHeaderSize) / kRowBytes : 0;

    // The version file has 11 rows, so later request rows have nothing to be
    // compared with and are passed over.
    std::vector<VersionRow> listed;
    for (std::size_t j = 0; j < requestRows && j < kVersionRows; ++j) {
        const std::uint8_t* asked = buffer.data() + kHeaderSize + j * kRowBytes;
        const VersionRow& held = versions[j];
        const bool sameTable = asked[0] == held[0] || asked[0] == 0xFF;
        if (sameTable && !std::equal(held.begin(), held.end(), asked)) {
            listed.push_back(held);
        }
    }

    startListFrame(buffer);
    build.differing = static_cast<int>(listed.size());
    if (listed.empty()) {
        return build;
    }
    std::size_t written = 0;
    for (const VersionRow& row : listed) {
        if (row[0] == 0) {
            continue;
        }
        std::copy(row.begin(), row.end(), buffer.begin() + kHeaderSize + written * kRowBytes);
        ++written;
        if (row[0] > kTableCount) {
            continue;
        }
        ++build.tablesToSend;
        // Two rows may name one table; loading it twice would double its records.
        if (session.recordCount(row[0]) > 0) {
            continue;
        }
        LoadResult load = loadTable(session, row[0], folder, choice);
        if (load.code == kTableMissing) {
            build.notices.push_back({std::move(load.message), {}});
            std::string text(gbk::kReadFileErrorPrefix);
            text += tableFile(row[0])->fileNameGbk;
            text += gbk::kReadFileErrorSuffix;
            build.notices.push_back({std::move(text), std::string(gbk::kReadFileErrorCaption)});
            build.differing = 0;
            build.tablesToSend = 0;
            return build;
        }
    }
    build.length = kHeaderSize + listed.size() * kRowBytes;
    sealFrame(buffer, build.length);
    return build;
}

std::size_t noUpdateFrame(DownloadBuffer buffer) {
    buffer[0] = 0;
    buffer[3] = 8;
    buffer[4] = 1;
    return kHeaderSize;
}

std::size_t endOfTableFrame(DownloadBuffer buffer, std::uint8_t table) {
    const std::uint8_t address = buffer[2];
    const std::array<std::uint8_t, kHeaderSize> frame{1, 0, address, 6, 1, 0, 0x0C, table,
                                                      0, 0, 0,       0x0C};
    std::copy(frame.begin(), frame.end(), buffer.begin());
    return kHeaderSize;
}

}  // namespace padlink
