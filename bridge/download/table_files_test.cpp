// Table files: the line conversion, the joined-line parsing, loading and
// the packets, on real files in a private folder.
#include "download/table_files.h"

#include "config/comma_locale.h"
#include "config/test_folder.h"
#include "config/text_file.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <vector>

namespace padlink {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct ChoiceFixture {
    TableChoice tables{};
    std::atomic<int> count{0};
    ManualChoice choice() { return {tables, count}; }
};

std::string dishLines(int lines) {
    std::string text;
    for (int i = 1; i <= lines; ++i) {
        text += std::to_string(i) + ",3," + std::to_string(i % 7) + ",D" + std::to_string(i) +
                ",Dish " + std::to_string(i) + ",1" + std::to_string(i % 10) + ",0\n";
    }
    return text;
}

Bytes record(LinkSession& session, int table, std::size_t index) {
    const auto size = tableLayout(table).recordBytes;
    const auto all = session.records(table);
    return Bytes(all.begin() + static_cast<std::ptrdiff_t>(index * size),
                 all.begin() + static_cast<std::ptrdiff_t>((index + 1) * size));
}

class TableFilesTest : public ::testing::Test {
protected:
    void write(int table, std::string_view text) {
        ASSERT_TRUE(writeTextFile(folder.path() / tableFile(table)->fileName, text));
    }
    testing::TestFolder folder;
    LinkSession session{folder.path(), 1};
    ChoiceFixture chosen;
};

TEST_F(TableFilesTest, TwoHundredDishesGoOutAsThreePackets) {
    write(1, dishLines(200));
    ASSERT_EQ(loadTable(session, 1, folder.path(), chosen.choice()).code, kTableLoaded);
    ASSERT_EQ(session.recordCount(1), 200u);
    EXPECT_EQ(recordsPerPacket(1), 81u);

    std::array<std::uint8_t, kMaxFrameSize> buffer{};
    buffer[2] = 0x21;  // the handheld's address, left from its request
    const std::size_t expectedLengths[] = {15 + 81 * 50, 15 + 81 * 50, 1915};
    Bytes joined;
    for (int k = 0; k < 3; ++k) {
        const std::size_t length = packTable(buffer, session, 1, k);
        ASSERT_EQ(length, expectedLengths[k]);
        const Bytes head(buffer.begin(), buffer.begin() + 15);
        const Bytes expected{1, static_cast<std::uint8_t>(k), 0x21, 8, 3,
                             static_cast<std::uint8_t>(length >> 8),
                             static_cast<std::uint8_t>(length & 0xFF), 1, head[8], head[9],
                             static_cast<std::uint8_t>(length >> 8),
                             static_cast<std::uint8_t>(length & 0xFF), 0x00, 0x27, 0x10};
        EXPECT_EQ(head, expected) << "packet " << k;
        const auto crc = frameCrc(std::span(buffer.data() + 12, length - 12));
        EXPECT_EQ((buffer[8] << 8) | buffer[9], crc);
        joined.insert(joined.end(), buffer.begin() + 15, buffer.begin() + static_cast<long>(length));
        EXPECT_EQ(session.packetCount, 3);
    }
    const auto all = session.records(1);
    EXPECT_EQ(joined, Bytes(all.begin(), all.end()));

    // Past the last packet: header and size only, never bytes beyond the table.
    buffer.fill(0xAA);
    ASSERT_EQ(packTable(buffer, session, 1, 3), 15u);
    EXPECT_EQ(buffer[1], 3);
    EXPECT_EQ(buffer[15], 0);
    EXPECT_EQ(packTable(buffer, session, 14, 0), 0u);
}

TEST_F(TableFilesTest, EmptyTablePacksIntoTwelveBytes) {
    std::array<std::uint8_t, kMaxFrameSize> buffer{};
    buffer.fill(0xAA);
    ASSERT_EQ(packTable(buffer, session, 5, 0), 12u);
    const Bytes frame(buffer.begin(), buffer.begin() + 15);
    EXPECT_EQ(frame, (Bytes{1, 0, 0xAA, 8, 1, 0, 12, 5, 0, 0, 0, 12, 0, 0, 0}));
    EXPECT_EQ(session.packetCount, 1);
}

struct LineCase {
    const char* name;
    int table;
    std::string line;
    Bytes expected;
};

void PrintTo(const LineCase& c, std::ostream* out) { *out << c.name; }

class FieldRules : public ::testing::TestWithParam<LineCase> {};

TEST_P(FieldRules, LineBecomesRecord) {
    const LineCase& c = GetParam();
    testing::TestFolder folder;
    LinkSession session{folder.path(), 1};
    const auto parsed = parseTableText(session, c.table, c.line);
    ASSERT_EQ(parsed.stored, 1u);
    EXPECT_EQ(record(session, c.table, 0), c.expected);
}

Bytes cat(std::initializer_list<Bytes> parts) {
    Bytes all;
    for (const Bytes& p : parts) {
        all.insert(all.end(), p.begin(), p.end());
    }
    return all;
}
Bytes text(std::string_view s, std::size_t slot) {
    Bytes b(s.begin(), s.end());
    b.resize(slot, 0);
    return b;
}

INSTANTIATE_TEST_SUITE_P(
    Fields, FieldRules,
    ::testing::Values(
        // I16, T10, I8, I8, I16, A24
        LineCase{"amount_12_5", 6, "7,A1,1,2,3,12.5",
                 cat({{7, 0}, text("A1", 12), {1, 2, 3, 0}, {0xE2, 0x04, 0x00, 0x00}})},
        LineCase{"amount_1_15_truncated", 6, "7,A1,1,2,3,1.15",
                 cat({{7, 0}, text("A1", 12), {1, 2, 3, 0}, {0x72, 0x00, 0x00, 0x00}})},
        LineCase{"negative_amount_low_24_bits", 6, "7,A1,1,2,3,-1.5",
                 cat({{7, 0}, text("A1", 12), {1, 2, 3, 0}, {0x6A, 0xFF, 0xFF, 0x00}})},
        LineCase{"integers_keep_low_bits", 6, "70000,A1,300,-1,12abc,x",
                 cat({{0x70, 0x11}, text("A1", 12), {0x2C, 0xFF, 12, 0}, {0, 0, 0, 0}})},
        LineCase{"huge_numbers_do_not_overflow", 6, "99999999999999999999,A1,1,1,1,1e300",
                 cat({{0xFF, 0xFF}, text("A1", 12), {1, 1, 1, 0}, {0, 0, 0, 0}})},
        LineCase{"blanks_and_tabs_removed", 7, "1, red \t bean  soup",
                 cat({{1, 0}, text("redbeansoup", 20)})},
        // T24 of the dish table: 30 bytes are cut after 24.
        LineCase{"text_cut_after_n_bytes", 1, "1,2,3,short,ABCDEFGHIJKLMNOPQRSTUVWXYZ1234,4,5",
                 cat({{1, 0, 2, 0, 3, 0}, text("short", 14),
                      text("ABCDEFGHIJKLMNOPQRSTUVWX", 26), {4, 0, 5, 0}})},
        // The cut may split a double-byte character: a红烧 is 61 BA EC C9 D5 in GBK.
        LineCase{"cut_inside_double_byte_character", 10, "1,a\xba\xec\xc9\xd5,2,3.5,4",
                 cat({{1, 0}, {0x61, 0xBA, 0xEC, 0xC9, 0, 0}, {2}, {0x5E, 0x01, 0, 0}, {4}})}),
    [](const auto& info) { return std::string(info.param.name); });

// The window layer sets the process locale from the environment; amounts
// must read the same under a locale whose decimal separator is a comma.
TEST(FieldRulesUnderACommaLocale, AmountsReadAsInTheCLocale) {
    testing::CommaDecimalLocale locale;
    if (!locale.active()) {
        GTEST_SKIP() << locale.why();
    }
    ASSERT_EQ(std::atof("12.5"), 12.0);  // what the C library now makes of it
    testing::TestFolder folder;
    LinkSession session{folder.path(), 1};
    // 二级做法表 and 菜品单位表 carry amounts too.
    ASSERT_EQ(parseTableText(session, 6, "7,A1,1,2,3,12.5|8,A2,1,2,3, -1.5").stored, 2u);
    EXPECT_EQ(record(session, 6, 0),
              cat({{7, 0}, text("A1", 12), {1, 2, 3, 0}, {0xE2, 0x04, 0x00, 0x00}}));
    EXPECT_EQ(record(session, 6, 1),
              cat({{8, 0}, text("A2", 12), {1, 2, 3, 0}, {0x6A, 0xFF, 0xFF, 0x00}}));
    ASSERT_EQ(parseTableText(session, 10, "1,jin,2,3.75,4").stored, 1u);
    EXPECT_EQ(record(session, 10, 0), cat({{1, 0}, text("jin", 6), {2}, {0x77, 0x01, 0, 0}, {4}}));
}

TEST(JoinedLines, MissingAndExtraFieldsShiftIntoNeighbours) {
    testing::TestFolder folder;
    LinkSession session{folder.path(), 1};
    // I16, I16, T12. The first line lacks a field: its second field runs on
    // to the next comma, on the next line, and the next line's rest is the
    // last field.
    auto parsed = parseTableText(session, 3, "1,abc|2,3,def");
    ASSERT_EQ(parsed.stored, 1u);
    EXPECT_EQ(record(session, 3, 0), cat({{1, 0, 0, 0}, text("3,def", 14)}));

    // I16, T12. An extra field lands inside the last one; atoi stops at a comma.
    session.clearDataArea();
    parsed = parseTableText(session, 2, "1,abc|2|3,x,y");
    ASSERT_EQ(parsed.stored, 2u);
    EXPECT_EQ(record(session, 2, 0), cat({{1, 0}, text("abc", 14)}));
    EXPECT_EQ(record(session, 2, 1), cat({{2, 0}, text("x,y", 14)}));
}

TEST_F(TableFilesTest, MissingOrEmptyFileIsReportedAndLeavesTheChoice) {
    const bool boxes[kTableCount] = {true, true, false, true};
    takeChoice(chosen.choice(), std::span<const bool, kTableCount>(boxes));
    ASSERT_EQ(chosen.count.load(), 3);
    write(2, "\n\n");

    for (int table : {1, 2}) {
        const LoadResult result = loadTable(session, table, folder.path(), chosen.choice());
        EXPECT_EQ(result.code, kTableMissing);
        EXPECT_EQ(result.message, std::string(tableFile(table)->missingMessage));
        EXPECT_EQ(chosen.tables[static_cast<std::size_t>(table - 1)].load(), 0);
    }
    EXPECT_EQ(chosen.count.load(), 1);
    // A table that was not chosen leaves the count alone.
    loadTable(session, 3, folder.path(), chosen.choice());
    EXPECT_EQ(chosen.count.load(), 1);
}

TEST_F(TableFilesTest, PrintTypesKeepTheirFirstFiveLines) {
    std::string lines;
    for (int i = 1; i <= 7; ++i) {
        lines += std::to_string(i) + ",a,b,1,2,3,4,c\r\n";
    }
    write(13, lines);
    const LoadResult result = loadTable(session, 13, folder.path(), chosen.choice());
    EXPECT_EQ(result.code, kTableLoaded);
    EXPECT_EQ(result.records, 5u);
    EXPECT_EQ(result.dropped, 2u);
    EXPECT_EQ(record(session, 13, 4)[0], 5);
    std::array<std::uint8_t, kMaxFrameSize> buffer{};
    EXPECT_EQ(packTable(buffer, session, 13, 0), 15u + 5 * 39);
}

}  // namespace
}  // namespace padlink
