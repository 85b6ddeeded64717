// Loading the timing, station and handheld files from a real TXT folder.
// File contents are written as GBK through iconv, so the program's own GBK
// constants are checked against an independent conversion.
#include "config/bridge_config.h"

#include "config/test_folder.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <climits>
#include <fstream>
#include <iterator>

namespace padlink {
namespace {

std::string gbk(std::string_view utf8) {
    iconv_t cd = iconv_open("GBK", "UTF-8");
    EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1));
    std::string in(utf8);
    std::string out(in.size() * 2 + 4, '\0');
    char* inPtr = in.data();
    char* outPtr = out.data();
    std::size_t inLeft = in.size();
    std::size_t outLeft = out.size();
    EXPECT_NE(iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft), static_cast<std::size_t>(-1));
    iconv_close(cd);
    out.resize(out.size() - outLeft);
    return out;
}

const Message kStationFailure{gbk("读取文件失败"), gbk("读取基站串口文件失败或没有基站信息！")};

class ConfigFiles : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_FALSE(base.path().empty());
        std::filesystem::create_directory(base.path() / "TXT");
        folder = txtFolder(base.path());
    }
    // Writes the UTF-8 text as GBK bytes under its (UTF-8) file name.
    void write(const std::string& name, std::string_view utf8) {
        std::ofstream(folder / name, std::ios::binary) << gbk(utf8);
    }
    std::string read(const std::string& name) {
        std::ifstream in(folder / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), {}};
    }

    testing::TestFolder base;
    std::filesystem::path folder;
};

TEST_F(ConfigFiles, TimingValuesAndDefaults) {
    struct Case {
        const char* content;
        int poll, timeout, interval;
        bool trafficLog;
        int orderVersion;
    };
    const Case cases[] = {
        {"轮循间隔:0", 30, 0, 0, false, 0},
        {"轮循间隔:100\r\n读取超时:20\r\n读取时间间隔:10\r\n调试信息输出:1\r\n落单版本:2",
         100, 20, 10, true, 2},
        {"轮循间隔:100\n读取超时:20\n读取时间间隔:10", 100, 20, 10, false, 0},
        {"读取超时: 15ms\r\n读取时间间隔:abc\r\n调试信息输出:0", 0, 15, 30, false, 0},
        {"轮循间隔:\r\n落单版本:-3", 30, 0, 0, false, -3},
        {" 轮循间隔:5\r\n轮循间隔 :5\r\n其他:5", 0, 0, 0, false, 0},  // keys are not trimmed
        {"轮循间隔:5\r\n轮循间隔:6", 6, 0, 0, false, 0},
        // Negative pauses would wrap to weeks: they fall back to the default.
        {"轮循间隔:-5\r\n读取超时:-1\r\n读取时间间隔:-30", 30, 30, 30, false, 0},
        {"轮循间隔:99999999999", INT_MAX, 0, 0, false, 0},
    };
    for (const auto& c : cases) {
        write("系统时间.txt", c.content);
        const TimingResult result = loadTiming(folder);
        const Timing& t = result.timing;
        EXPECT_EQ(t.pollInterval, c.poll) << c.content;
        EXPECT_EQ(t.readTimeout, c.timeout) << c.content;
        EXPECT_EQ(t.readInterval, c.interval) << c.content;
        EXPECT_EQ(t.trafficLogEnabled, c.trafficLog) << c.content;
        EXPECT_EQ(t.orderVersion, c.orderVersion) << c.content;
        EXPECT_TRUE(result.messages.empty()) << c.content;
        EXPECT_FALSE(result.fileCreated);
    }
}

TEST_F(ConfigFiles, MalformedTimingLinesAreReportedAndSkipped) {
    write("系统时间.txt", "轮循间隔 100\r\n:5\r\n读取超时:20\r\n\r\n读取时间间隔:9");
    const TimingResult result = loadTiming(folder);
    const Message expected{"", gbk("\"系统时间.txt\"格式有误!")};
    EXPECT_EQ(result.messages, (std::vector<Message>{expected, expected, expected}));
    EXPECT_EQ(result.timing.pollInterval, 0);
    EXPECT_EQ(result.timing.readTimeout, 20);
    EXPECT_EQ(result.timing.readInterval, 9);
}

TEST_F(ConfigFiles, MissingTimingFileIsCreatedWithTheDefaults) {
    const TimingResult result = loadTiming(folder);
    EXPECT_TRUE(result.fileCreated);
    EXPECT_EQ(result.timing.pollInterval, 30);
    EXPECT_EQ(result.timing.readTimeout, 30);
    EXPECT_EQ(result.timing.readInterval, 30);
    EXPECT_FALSE(result.timing.trafficLogEnabled);
    EXPECT_EQ(read("系统时间.txt"), gbk("轮循间隔:30\r\n读取超时:30\r\n读取时间间隔:30"));

    const TimingResult again = loadTiming(folder);
    EXPECT_FALSE(again.fileCreated);
    EXPECT_EQ(again.timing.readTimeout, 30);
    EXPECT_TRUE(again.messages.empty());
}

TEST_F(ConfigFiles, MissingFolderStillGivesTheDefaults) {
    const TimingResult result = loadTiming(base.path() / "absent");
    EXPECT_FALSE(result.fileCreated);
    EXPECT_EQ(result.timing.pollInterval, 30);
}

TEST_F(ConfigFiles, TxtFolderIsFoundWhateverItsCase) {
    testing::TestFolder other;
    std::filesystem::create_directory(other.path() / "txt");
    EXPECT_EQ(txtFolder(other.path()), other.path() / "txt");
}

TEST_F(ConfigFiles, StationIdsLoseLeadingZerosAndLinkHandhelds) {
    write("基站.txt", "COM2,007\r\n\r\n/dev/ttyUSB0,12\r\n");
    write("点菜机.txt", "7,0a0b0c\r\n007,111111\r\n12,123456\r\n\r\n99,222222\r\n7,0A0B0D\r\n");
    const StationsResult result = loadStations(folder);
    ASSERT_EQ(result.result, 2);
    EXPECT_FALSE(result.message.has_value());
    EXPECT_EQ(result.portNames, (std::vector<std::string>{"COM2", "/dev/ttyUSB0"}));
    EXPECT_EQ(result.stations[0].stationId, "7");
    EXPECT_EQ(result.stations[0].handheldAddresses,
              (std::vector<std::string>{"0a0b0c", "0A0B0D"}));
    EXPECT_EQ(result.stations[0].handheldCount, 2);
    EXPECT_EQ(result.stations[1].stationId, "12");
    EXPECT_EQ(result.stations[1].handheldCount, 1);

    HandheldTable table;
    const auto counts = buildHandheldTable(result.stations, result.result, table);
    EXPECT_EQ(counts, (std::array<std::uint8_t, kMaxStations>{2, 1, 0, 0, 0, 0, 0, 0}));
    const HandheldEntry& first = table.rows[0][0];
    EXPECT_EQ(first.addressLow, 0x0c);
    EXPECT_EQ(first.addressMiddle, 0x0b);
    EXPECT_EQ(first.addressHigh, 0x0a);
    EXPECT_EQ(table.rows[0][1].addressLow, 0x0d);
    EXPECT_EQ(handheldLabel(table, 0x56, counts[1], 1), "123456");

    const Timing timing{.pollInterval = 40, .readTimeout = 20, .readInterval = 10};
    const PollThreadParams params =
        pollThreadParams(result.stations[0], 0, counts[0], timing, folder);
    EXPECT_EQ(params.stationId, 7);
    EXPECT_EQ(params.portName, "COM2");
    EXPECT_EQ(params.folder, folder);
    EXPECT_EQ(params.handheldCount, 2);
    EXPECT_EQ(params.pollInterval, 40);
    EXPECT_EQ(params.readTimeout, 20);
    EXPECT_EQ(params.readInterval, 10);
}

TEST_F(ConfigFiles, EightStationsAreTakenAndANinthIgnored) {
    std::string stations, handhelds;
    for (int i = 1; i <= 9; ++i) {
        stations += "COM" + std::to_string(i) + "," + std::to_string(i) + "\r\n";
        handhelds += std::to_string(i) + ",0000" + std::to_string(i) + "0\r\n";
    }
    write("基站.txt", stations);
    write("点菜机.txt", handhelds);
    const StationsResult result = loadStations(folder);
    ASSERT_EQ(result.result, 8);
    EXPECT_EQ(result.portNames.size(), 8u);
    HandheldTable table;
    const auto counts = buildHandheldTable(result.stations, result.result, table);
    for (std::size_t i = 0; i < kMaxStations; ++i) {
        EXPECT_EQ(counts[i], 1) << "station " << i;
        EXPECT_EQ(table.rows[i][0].addressLow, (i + 1) * 16);
    }
}

TEST_F(ConfigFiles, StationZeroHasAnEmptyIdAndNoHandhelds) {
    write("基站.txt", "COM1,00\r\nCOM2,1\r\n");
    write("点菜机.txt", "0,0a0b0c\r\n00,0a0b0d\r\n1,0a0b0e\r\n");
    const StationsResult result = loadStations(folder);
    ASSERT_EQ(result.result, 2);
    EXPECT_EQ(result.stations[0].stationId, "");
    EXPECT_EQ(result.stations[0].handheldCount, 0);
    EXPECT_EQ(result.stations[1].handheldCount, 1);
    HandheldTable table;
    const auto counts = buildHandheldTable(result.stations, result.result, table);
    EXPECT_EQ(counts[0], 0);
    EXPECT_EQ(pollThreadParams(result.stations[0], 0, counts[0], Timing{}, folder).stationId, 0);
}

TEST_F(ConfigFiles, ReadingStopsOnceAStationHoldsFiftyHandhelds) {
    write("基站.txt", "COM1,1\r\nCOM2,2\r\n");
    std::string handhelds = "2,aaaaaa\r\n";
    for (int i = 0; i < 50; ++i) {
        handhelds += "1,0000" + std::to_string(10 + i) + "\r\n";
    }
    handhelds += "2,bbbbbb\r\nnot a handheld line\r\n";  // never read
    write("点菜机.txt", handhelds);
    const StationsResult result = loadStations(folder);
    ASSERT_EQ(result.result, 2);
    EXPECT_EQ(result.stations[0].handheldCount, 50);
    EXPECT_EQ(result.stations[1].handheldAddresses, (std::vector<std::string>{"aaaaaa"}));
    HandheldTable table;
    const auto counts = buildHandheldTable(result.stations, result.result, table);
    EXPECT_EQ(counts[0], 50);
    EXPECT_EQ(table.rows[0][49].addressLow, 0x59);
}

TEST_F(ConfigFiles, FailuresGiveTheLoadMessage) {
    struct Case {
        const char* name;
        const char* stations;  // nullptr: file absent
        const char* handhelds;
        int result;
    };
    const Case cases[] = {
        {"no station file", nullptr, "1,0a0b0c", 0},
        {"empty station file", "\r\n\r\n", "1,0a0b0c", 0},
        {"no handheld file", "COM1,1", nullptr, -1},
        {"no handheld file nor station file", nullptr, nullptr, -1},
        {"station line without comma", "COM1,1\r\nCOM2", "1,0a0b0c", 0},
        {"station line starting with comma", ",1", "1,0a0b0c", 0},
        {"handheld line without comma", "COM1,1", "1,0a0b0c\r\n0a0b0d", -1},
        {"handheld line starting with comma", "COM1,1", ",0a0b0c", -1},
    };
    for (const auto& c : cases) {
        std::filesystem::remove(folder / "基站.txt");
        std::filesystem::remove(folder / "点菜机.txt");
        if (c.stations) write("基站.txt", c.stations);
        if (c.handhelds) write("点菜机.txt", c.handhelds);
        const StationsResult result = loadStations(folder);
        EXPECT_EQ(result.result, c.result) << c.name;
        EXPECT_EQ(result.message, kStationFailure) << c.name;
    }
}

TEST_F(ConfigFiles, AMalformedStationLineLeavesTheHandheldFileUnread) {
    write("基站.txt", "COM1,1\r\nbroken\r\n");
    write("点菜机.txt", "1,0a0b0c");
    const StationsResult result = loadStations(folder);
    EXPECT_EQ(result.result, 0);
    EXPECT_TRUE(result.stations[0].handheldAddresses.empty());
}

TEST(HandheldAddresses, ConvertLikeTheConfiguredText) {
    struct Case {
        const char* text;
        std::uint8_t high, middle, low;
    };
    const Case cases[] = {
        {"0a0b0c", 0x0a, 0x0b, 0x0c},
        {"0A0B0C", 0x0a, 0x0b, 0x0c},
        {"123456789a", 0x12, 0x34, 0x9a},  // longer: last two, then the first four
        {"abc", 0xab, 0x0c, 0xbc},
        {"7", 0x07, 0x00, 0x07},
        {"zz0b0c", 0x00, 0x0b, 0x0c},
        {"0a0b0g", 0x0a, 0x0b, 0x00},
    };
    for (const auto& c : cases) {
        std::array<StationConfig, kMaxStations> stations{};
        stations[0].handheldAddresses = {c.text};
        stations[0].handheldCount = 1;
        HandheldTable table;
        ASSERT_EQ(buildHandheldTable(stations, 1, table)[0], 1) << c.text;
        const HandheldEntry& e = table.rows[0][0];
        EXPECT_EQ(e.addressHigh, c.high) << c.text;
        EXPECT_EQ(e.addressMiddle, c.middle) << c.text;
        EXPECT_EQ(e.addressLow, c.low) << c.text;
    }
}

TEST(HandheldAddresses, AnEmptyFirstAddressOrZeroCountKeepsTheStationEmpty) {
    std::array<StationConfig, kMaxStations> stations{};
    stations[0].handheldAddresses = {"", "0a0b0c"};
    stations[0].handheldCount = 2;
    stations[1].handheldAddresses = {"0a0b0c"};
    stations[1].handheldCount = 0;
    stations[2].handheldAddresses.assign(60, "0a0b0c");
    stations[2].handheldCount = 60;
    stations[3].handheldAddresses = {"0a0b0c"};
    stations[3].handheldCount = 1;
    HandheldTable table;
    const auto counts = buildHandheldTable(stations, 3, table);
    EXPECT_EQ(counts, (std::array<std::uint8_t, kMaxStations>{0, 0, 50, 0, 0, 0, 0, 0}));
    EXPECT_EQ(table.rows[0][1].addressLow, 0) << "no entry converted";
    EXPECT_EQ(table.rows[3][0].addressLow, 0) << "rows beyond the station count stay empty";
}

}  // namespace
}  // namespace padlink
