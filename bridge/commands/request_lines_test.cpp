// Request records into request lines: the number formats, the item list
// layout, the per-command rules and the length checks.
#include "commands/request_lines.h"

#include "commands/test_frames.h"

#include <gtest/gtest.h>

#include <string>

namespace padlink {
namespace {

using testing::Bytes;
using testing::requestBuffer;

// One ShortItemRecord (or the first 28 bytes of an ItemRecord) with field 1,
// the tenths of field 5, and the bytes of fields 6 to 9 chosen by the test.
Bytes itemBytes(std::uint16_t field1, std::int16_t tenths, std::uint8_t f6, std::uint8_t f7,
                std::uint8_t f8, std::uint8_t f9, std::size_t size = kShortItemRecordSize) {
    Bytes record(size, 0);
    record[0] = static_cast<std::uint8_t>(field1 & 0xFF);
    record[1] = static_cast<std::uint8_t>(field1 >> 8);
    record[8] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(tenths) & 0xFF);
    record[9] = static_cast<std::uint8_t>(static_cast<std::uint16_t>(tenths) >> 8);
    record[10] = f6;
    record[11] = f7;
    record[12] = f8;
    record[13] = f9;
    return record;
}

Bytes concat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& part : parts) {
        all.insert(all.end(), part.begin(), part.end());
    }
    return all;
}

std::string lineOf(std::uint8_t command, const Bytes& record, int orderVersion = 0) {
    const auto buffer = requestBuffer(command, record);
    const Command* entry = findCommand(command);
    EXPECT_NE(entry, nullptr);
    return entry ? buildRequestLine(buffer, *entry, orderVersion).text : std::string{};
}

struct LineCase {
    const char* what;
    std::uint8_t command;
    Bytes record;
    int orderVersion;
    std::string line;
};

class RequestLines : public ::testing::TestWithParam<LineCase> {};

TEST_P(RequestLines, DecodeAsTheFrontEndReadsThem) {
    const LineCase& c = GetParam();
    EXPECT_EQ(lineOf(c.command, c.record, c.orderVersion), c.line) << c.what;
}

const Bytes kTenDigits{1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
const Bytes kFourDigits{1, 9, 0, 7, 0xAA, 5, 5, 5, 5, 5};
const Bytes kNoDigits{0xAA, 1, 1, 1, 1, 1, 1, 1, 1, 1};

Bytes login(std::uint8_t number, const Bytes& first, const Bytes& second) {
    return concat({Bytes{number, 0}, first, second, Bytes{0x11, 0x22}});
}

INSTANTIATE_TEST_SUITE_P(
    Records, RequestLines,
    ::testing::Values(
        LineCase{"KT", 0x51, {0x0C, 0x00, 0x04, 0x00, 0x07, 0x00}, 0, "KT,12,4,7"},
        LineCase{"KT reads byte 14 alone", 0x51, {0x0C, 0x00, 0x05, 0x01, 0x07, 0x00}, 0,
                 "KT,12,5,7"},
        LineCase{"DYTD signed", 0x34, {0xFF, 0xFF, 0xFE, 0xFF, 0x01, 0x00}, 0, "DYTD,-1,-2,1"},
        LineCase{"THDC unsigned first", 0x66, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0,
                 "THDC,65535,-1,-1"},
        LineCase{"ZTDC two unsigned", 0x67, {0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0,
                 "ZTDC,65535,65535,-1"},
        LineCase{"XGRS byte alone", 0x70, {0x02, 0x00, 0xFF, 0xFF, 0x03, 0x00}, 0,
                 "XGRS,2,255,3"},
        LineCase{"CT", 0x57, {0x01, 0x00, 0x02, 0x00, 0x03, 0x80}, 0, "CT,1,2,-32765"},
        LineCase{"261 and 7", 0x30,
                 concat({itemBytes(0x0105, 0, 0, 0, 0, 0), itemBytes(7, 0, 0, 0, 0, 0)}), 0,
                 "CC,261,0,0,0,0.0,0,0,0,0,0,0,0,0,0,0,0\n7,0,0,0,0.0,0,0,0,0,0,0,0,0,0,0,0\n"},
        LineCase{"-1 and 255, tenths", 0x32, itemBytes(1, 15, 0xFF, 7, 0xFF, 9), 0,
                 "JC,1,0,0,0,1.5,255,7,-1,9,0,0,0,0,0,0,0\n"},
        LineCase{"negative tenths", 0x83, itemBytes(1, -5, 0, 0, 0, 0), 0,
                 "ZJC,1,0,0,0,-0.5,0,0,0,0,0,0,0,0,0,0,0\n"},
        LineCase{"field 9 200 in 0x30", 0x30, itemBytes(1, 0, 0, 0, 0, 200), 0,
                 "CC,1,0,0,0,0.0,0,0,0,200,0,0,0,0,0,0,0\n"},
        LineCase{"field 9 200 in 0x33", 0x33, itemBytes(1, 0, 0, 0, 0, 200), 0,
                 "CC,1,0,0,0,0.0,0,0,0,44,0,0,0,0,0,0,0\n"},
        LineCase{"field 9 3, order version 1", 0x31, itemBytes(1, 0, 0, 0, 0, 3, 33), 1,
                 "LD\n1,0,0,0,0.0,0,0,0,5,0,0,0,0,0,0,0,0.00,0\n"},
        LineCase{"field 9 3, order version 0", 0x31, itemBytes(1, 0, 0, 0, 0, 3, 33), 0,
                 "LD\n1,0,0,0,0.0,0,0,0,3,0,0,0,0,0,0,0,0.00,0\n"},
        LineCase{"field 9 4 stays", 0x36, itemBytes(1, 0, 0, 0, 0, 4, 33), 1,
                 "XGJG,1,0,0,0,0.0,0,0,0,4,0,0,0,0,0,0,0,0.00,0\n"},
        LineCase{"no records", 0x35, {}, 0, "LDZS,"},
        LineCase{"a partial record is not read", 0x35, Bytes(27, 1), 0, "LDZS,"},
        LineCase{"DL ten digits", 0x50, login(3, kTenDigits, kNoDigits), 0, "DL,3,1234567890"},
        LineCase{"DL four digits", 0x50, login(3, kFourDigits, kNoDigits), 0, "DL,3,1907"},
        LineCase{"DL no digits", 0x50, login(3, kNoDigits, kTenDigits), 0, "DL,3,"},
        LineCase{"XGMM both strings", 0x58, login(0xFF, kFourDigits, kTenDigits), 0,
                 "XGMM,255,1907,1234567890"},
        LineCase{"JZ", 0x37, {0x05, 0x00, 0xD2, 0x04, 0x00, 0x00, 0xFF, 0xFF}, 0,
                 "JZ,5,12.34,-1"},
        LineCase{"JQ", 0x84, {0xFF, 0xFF, 0xFF, 0xFF, 0x02, 0x00}, 0, "JQ,-1,65535,2"},
        LineCase{"bare names", 0x62, {1, 2, 3}, 0, "CXSXZT"},
        LineCase{"seven-byte status request is empty", 0x80, {1, 2, 3}, 0, ""}));

TEST(RequestLineFormats, AmountsTakeTheSinglePrecisionFactorInDoublePrecision) {
    // Both sides of the two limits: where a product in single precision
    // starts to lose a cent (65,536.06), and where the single-precision
    // factor itself does even in double precision (223,696.22).
    const std::pair<std::uint32_t, const char*> cases[] = {
        {0, "0.00"},
        {1234, "12.34"},
        {6'553'599, "65535.99"},
        {6'553'606, "65536.06"},
        {6'553'607, "65536.07"},
        {9'999'999, "99999.99"},
        {20'000'001, "200000.01"},
        {22'369'621, "223696.21"},
        {22'369'622, "223696.21"},  // one cent low from here on, as the factor makes it
        {22'370'000, "223699.99"},
        {0xFFFFFFFFu, "42949671.99"},
    };
    for (const auto& [hundredths, expected] : cases) {
        std::string line;
        appendHundredths(line, hundredths);
        EXPECT_EQ(line, expected) << hundredths;
    }
    // Check-out and item amounts are written by the same rule.
    EXPECT_EQ(lineOf(0x37, {0x05, 0x00, 0x7F, 0x96, 0x98, 0x00, 0x01, 0x00}), "JZ,5,99999.99,1");
}

TEST(RequestLineFormats, TheLayoutOfLongLists) {
    // Three LDZS records: the prefix only before the first.
    const std::string ldzs = lineOf(
        0x35, concat({itemBytes(1, 0, 0, 0, 0, 0), itemBytes(2, 0, 0, 0, 0, 0),
                      itemBytes(3, 0, 0, 0, 0, 0)}));
    EXPECT_EQ(ldzs,
              "LDZS,1,0,0,0,0.0,0,0,0,0,0,0,0,0,0,0,0\n2,0,0,0,0.0,0,0,0,0,0,0,0,0,0,0,0\n"
              "3,0,0,0,0.0,0,0,0,0,0,0,0,0,0,0,0\n");

    Bytes amount = itemBytes(1, 0, 0, 0, 0, 0, 33);
    amount[28] = 0xD2;
    amount[29] = 0x04;
    amount[32] = 0xFE;
    EXPECT_EQ(lineOf(0x31, amount), "LD\n1,0,0,0,0.0,0,0,0,0,0,0,0,0,0,0,0,12.34,254\n");
}

TEST(RequestLineChecks, CheckOutAndStartNowNeedTheirExactLength) {
    const Command& checkOut = *findCommand(0x37);
    const Command& startNow = *findCommand(0x84);
    auto jz = requestBuffer(0x37, Bytes(9, 0));  // 21 bytes
    EXPECT_EQ(buildRequestLine(jz, checkOut, 0).status, RequestStatus::checkOutLength);
    EXPECT_TRUE(buildRequestLine(jz, checkOut, 0).text.empty());
    auto jq = requestBuffer(0x84, Bytes(7, 0));  // 19 bytes
    EXPECT_EQ(buildRequestLine(jq, startNow, 0).status, RequestStatus::startNowLength);
    jq = requestBuffer(0x84, Bytes(6, 0));
    EXPECT_EQ(buildRequestLine(jq, startNow, 0).status, RequestStatus::ok);
}

TEST(RequestLineChecks, LengthFieldsThatLieStayInsideTheBuffer) {
    // Frames of up to 12 bytes arrive unchecked: the length field may claim
    // anything, and may claim less than the header.
    auto buffer = requestBuffer(0x31, {});
    buffer[5] = 0xFF;
    buffer[6] = 0xFF;
    EXPECT_EQ(requestLength(buffer), kMaxFrameSize);
    EXPECT_EQ(recordCount(buffer, kItemRecordSize), (kMaxFrameSize - kHeaderSize) / 33);
    const std::string line = buildRequestLine(buffer, *findCommand(0x31), 0).text;
    EXPECT_EQ(static_cast<std::size_t>(std::count(line.begin(), line.end(), '\n')), 1 + 123u);

    buffer[5] = 0;
    buffer[6] = 5;
    EXPECT_EQ(recordCount(buffer, kShortItemRecordSize), 0u);
    EXPECT_EQ(buildRequestLine(buffer, *findCommand(0x31), 0).text, "LD\n");
}

TEST(CommandTable, OnlyTheListedBytesAreAnswered) {
    const std::string answered{"\x30\x31\x32\x33\x34\x35\x36\x37\x38\x50\x51\x54\x57\x58\x62\x63"
                               "\x64\x66\x67\x69\x70\x80\x83\x84",
                               24};
    for (int byte = 0; byte < 256; ++byte) {
        const bool listed = answered.find(static_cast<char>(byte)) != std::string::npos;
        EXPECT_EQ(findCommand(static_cast<std::uint8_t>(byte)) != nullptr, listed) << byte;
    }
    EXPECT_EQ(findCommand(0x33)->notice, "CC");
    EXPECT_TRUE(findCommand(0x38)->notice.empty());
    EXPECT_TRUE(findCommand(0x80)->notice.empty());
}

}  // namespace
}  // namespace padlink
