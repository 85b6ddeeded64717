// Reading the timing, station and handheld files, and turning them into the
// handheld table and the poll threads' parameters.
#include "config/bridge_config.h"

#include "config/decimal_text.h"
#include "config/gbk_texts.h"
#include "config/text_file.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <string_view>

namespace padlink {

std::atomic<int> orderVersion{0};

namespace {

// File names on disk; the file system carries them as UTF-8.
constexpr std::string_view kTimingFileName = "系统时间.txt";
constexpr std::string_view kStationFileName = "基站.txt";
constexpr std::string_view kHandheldFileName = "点菜机.txt";

constexpr int kDefaultTiming = 30;

// atoi, but saturating instead of overflowing.
int parseInt(std::string_view text) {
    bool negative = false;
    std::size_t i = skipBlanksAndSign(text, &negative);
    long long value = 0;
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
        value = std::min<long long>(value * 10 + (text[i] - '0'), 1LL + INT_MAX);
    }
    value = negative ? -value : value;
    return static_cast<int>(std::clamp<long long>(value, INT_MIN, INT_MAX));
}

// Zero, no digits and negative values all mean the default: a negative pause
// or time-out would otherwise wrap to weeks.
int timingValue(std::string_view text) {
    const int value = parseInt(text);
    return value > 0 ? value : kDefaultTiming;
}

// strtoul(text, nullptr, 16) cut to a byte.
std::uint8_t hexByte(std::string_view text) {
    bool negative = false;
    std::size_t i = skipBlanksAndSign(text, &negative);
    const auto digit = [](char c) -> int {
        if (c >= '0' && c <= '9') return c - '0';
        if (c >= 'a' && c <= 'f') return c - 'a' + 10;
        if (c >= 'A' && c <= 'F') return c - 'A' + 10;
        return -1;
    };
    if (i + 2 < text.size() && text[i] == '0' && (text[i + 1] == 'x' || text[i + 1] == 'X') &&
        digit(text[i + 2]) >= 0) {
        i += 2;
    }
    unsigned long value = 0;
    for (; i < text.size() && digit(text[i]) >= 0; ++i) {
        value = value * 16 + static_cast<unsigned long>(digit(text[i]));
    }
    if (negative) {
        value = 0UL - value;
    }
    return static_cast<std::uint8_t>(value & 0xFF);
}

// Left, middle and right parts of a text; parts beyond its end are shorter.
std::string_view leftOf(std::string_view s, std::size_t n) { return s.substr(0, n); }
std::string_view midOf(std::string_view s, std::size_t at, std::size_t n) {
    return at >= s.size() ? std::string_view{} : s.substr(at, n);
}
std::string_view rightOf(std::string_view s, std::size_t n) {
    return s.size() <= n ? s : s.substr(s.size() - n);
}

Message stationFailure() {
    return {std::string(gbk::kStationLoadFailureCaption), std::string(gbk::kStationLoadFailure)};
}

// Returns 0 on success, -1 when the file is missing or holds a malformed line.
int readHandhelds(const std::filesystem::path& folder,
                  std::array<StationConfig, kMaxStations>& stations) {
    const auto lines = readTextLines(findIgnoringCase(folder, kHandheldFileName));
    if (!lines) {
        return -1;
    }
    const auto someStationFull = [&] {
        return std::any_of(stations.begin(), stations.end(), [](const StationConfig& s) {
            return s.handheldAddresses.size() >= kMaxHandhelds;
        });
    };
    for (const std::string& line : *lines) {
        if (someStationFull()) {
            break;
        }
        if (line.empty()) {
            continue;
        }
        const std::size_t comma = line.find(',');
        if (comma == std::string::npos || comma == 0) {
            return -1;
        }
        const std::string_view id = std::string_view(line).substr(0, comma);
        for (StationConfig& station : stations) {
            if (station.stationId == id) {
                station.handheldAddresses.push_back(line.substr(comma + 1));
                break;
            }
        }
    }
    for (StationConfig& station : stations) {
        station.handheldCount = static_cast<int>(station.handheldAddresses.size());
    }
    return 0;
}

}  // namespace

std::filesystem::path txtFolder(const std::filesystem::path& base) {
    return findIgnoringCase(base, "TXT");
}

TimingResult loadTiming(const std::filesystem::path& folder) {
    TimingResult result;
    const std::filesystem::path file = findIgnoringCase(folder, kTimingFileName);
    const auto lines = readTextLines(file);
    if (!lines) {
        result.timing.pollInterval = kDefaultTiming;
        result.timing.readTimeout = kDefaultTiming;
        result.timing.readInterval = kDefaultTiming;
        char content[128];
        std::snprintf(content, sizeof content, "%.*s:%d\n%.*s:%d\n%.*s:%d",
                      static_cast<int>(gbk::kKeyPollInterval.size()),
                      gbk::kKeyPollInterval.data(), kDefaultTiming,
                      static_cast<int>(gbk::kKeyReadTimeout.size()), gbk::kKeyReadTimeout.data(),
                      kDefaultTiming, static_cast<int>(gbk::kKeyReadInterval.size()),
                      gbk::kKeyReadInterval.data(), kDefaultTiming);
        result.fileCreated = writeTextFile(file, content);
        return result;
    }
    for (const std::string& line : *lines) {
        const std::size_t colon = line.find(':');
        if (colon == std::string::npos || colon == 0) {
            result.messages.push_back({{}, std::string(gbk::kTimingFormatError)});
            continue;
        }
        const std::string_view key = std::string_view(line).substr(0, colon);
        const std::string_view value = std::string_view(line).substr(colon + 1);
        if (key == gbk::kKeyPollInterval) {
            result.timing.pollInterval = timingValue(value);
        } else if (key == gbk::kKeyReadTimeout) {
            result.timing.readTimeout = timingValue(value);
        } else if (key == gbk::kKeyReadInterval) {
            result.timing.readInterval = timingValue(value);
        } else if (key == gbk::kKeyTrafficLog) {
            result.timing.trafficLogEnabled = parseInt(value) != 0;
        } else if (key == gbk::kKeyOrderVersion) {
            result.timing.orderVersion = parseInt(value);
        }
    }
    return result;
}

StationsResult loadStations(const std::filesystem::path& folder) {
    StationsResult result;
    int count = 0;
    if (const auto lines = readTextLines(findIgnoringCase(folder, kStationFileName))) {
        for (const std::string& line : *lines) {
            if (count >= static_cast<int>(kMaxStations)) {
                break;
            }
            if (line.empty()) {
                continue;
            }
            const std::size_t comma = line.find(',');
            if (comma == std::string::npos || comma == 0) {
                result.result = 0;
                result.message = stationFailure();
                return result;
            }
            StationConfig& station = result.stations[static_cast<std::size_t>(count)];
            station.portName = line.substr(0, comma);
            const std::size_t firstNonZero = line.find_first_not_of('0', comma + 1);
            station.stationId =
                firstNonZero == std::string::npos ? std::string{} : line.substr(firstNonZero);
            result.portNames.push_back(station.portName);
            ++count;
        }
    }
    const int handhelds = readHandhelds(folder, result.stations);
    result.result = handhelds != 0 ? handhelds : count;
    if (result.result <= 0) {
        result.message = stationFailure();
    }
    return result;
}

std::array<std::uint8_t, kMaxStations> buildHandheldTable(
    const std::array<StationConfig, kMaxStations>& stations, int stationCount,
    HandheldTable& table) {
    std::array<std::uint8_t, kMaxStations> counts{};
    table.clear();
    const int rows = std::clamp(stationCount, 0, static_cast<int>(kMaxStations));
    for (int i = 0; i < rows; ++i) {
        const StationConfig& station = stations[static_cast<std::size_t>(i)];
        const auto& addresses = station.handheldAddresses;
        if (addresses.empty() || addresses.front().empty() || station.handheldCount == 0) {
            continue;
        }
        const std::size_t limit = std::min({static_cast<std::size_t>(
                                                std::max(station.handheldCount, 0)),
                                            addresses.size(), kMaxHandhelds});
        HandheldRow& row = table.rows[static_cast<std::size_t>(i)];
        for (std::size_t j = 0; j < limit; ++j) {
            const std::string_view address = addresses[j];
            row[j].addressLow = hexByte(rightOf(address, 2));
            row[j].addressMiddle = hexByte(midOf(address, 2, 2));
            row[j].addressHigh = hexByte(leftOf(address, 2));
        }
        counts[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(limit);
    }
    return counts;
}

PollThreadParams pollThreadParams(const StationConfig& station, int stationIndex,
                                  std::uint8_t handheldCount, const Timing& timing,
                                  const std::filesystem::path& folder) {
    PollThreadParams params;
    params.handheldCount = handheldCount;
    params.portName = station.portName;
    params.folder = folder;
    params.stationIndex = stationIndex;
    params.stationId = parseInt(station.stationId);
    params.pollInterval = timing.pollInterval;
    params.readTimeout = timing.readTimeout;
    params.readInterval = timing.readInterval;
    return params;
}

}  // namespace padlink
