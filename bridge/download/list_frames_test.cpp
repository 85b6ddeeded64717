// List frames: the table list with its time stamp, the version comparison
// and the no-update answer, on real files.
#include "download/list_frames.h"

#include "config/test_folder.h"
#include "config/text_file.h"
#include "download/download_texts.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace padlink {
namespace {

using Bytes = std::vector<std::uint8_t>;
using Rows = std::vector<VersionRow>;

class ListFramesTest : public ::testing::Test {
protected:
    ManualChoice choice() { return {tables, count}; }
    void writeFile(std::string_view name, std::string_view text) {
        ASSERT_TRUE(writeTextFile(folder.path() / name, text));
    }
    void writeTable(int table, std::string_view text) {
        writeFile(tableFile(table)->fileName, text);
    }
    // The handheld's update request with its rows, as the poll thread leaves it.
    void request(const Rows& rows) {
        buffer.fill(0);
        Bytes frame{0, 5, 0x21, 1, 1, 0, 0, 0x82, 0, 0, 0, 0};
        for (const VersionRow& row : rows) {
            frame.insert(frame.end(), row.begin(), row.end());
        }
        std::copy(frame.begin(), frame.end(), buffer.begin());
        sealFrame(buffer, frame.size());
    }
    Bytes listedRows(std::size_t length) const {
        return Bytes(buffer.begin() + 12, buffer.begin() + static_cast<long>(length));
    }

    testing::TestFolder folder;
    LinkSession session{folder.path(), 1};
    TableChoice tables{};
    std::atomic<int> count{0};
    std::array<std::uint8_t, kMaxFrameSize> buffer{};
};

TEST_F(ListFramesTest, TableListCarriesChosenTablesAndTimeStamp) {
    writeTable(2, "1,a\n2,b\n");
    writeTable(12, "1,F1\n");
    const bool boxes[kTableCount] = {false, true, false, false, false, false,
                                     false, false, false, false, false, true};
    takeChoice(choice(), std::span<const bool, kTableCount>(boxes));
    buffer[1] = 7;
    buffer[2] = 0x21;
    buffer[7] = 0x81;
    const TableListBuild list =
        buildTableList(buffer, session, folder.path(), choice(), {2024, 12, 31, 23, 59, 58});
    ASSERT_EQ(list.length, 12u + 14);
    EXPECT_TRUE(list.notices.empty());
    const Bytes frame(buffer.begin(), buffer.begin() + 26);
    const Bytes expected{1,  7,  0x21, 8,  1,  0, 26, 0x81, frame[8], frame[9], 0, 26,
                         2,  8,  12,   31, 23, 59, 58,
                         12, 8,  12,   31, 23, 59, 58};
    EXPECT_EQ(frame, expected);
    EXPECT_EQ(session.recordCount(2), 2u);
    EXPECT_EQ(session.recordCount(12), 1u);
}

TEST_F(ListFramesTest, TableListStopsAtAMissingFile) {
    writeTable(1, "1,2,3,a,b,4,5\n");
    const bool boxes[kTableCount] = {true, false, false, true};
    takeChoice(choice(), std::span<const bool, kTableCount>(boxes));
    const TableListBuild list =
        buildTableList(buffer, session, folder.path(), choice(), currentLocalTime());
    EXPECT_EQ(list.length, 0u);
    ASSERT_EQ(list.notices.size(), 1u);
    EXPECT_EQ(list.notices[0].text, std::string(tableFile(4)->missingMessage));
    EXPECT_EQ(tables[3].load(), 0);
    EXPECT_EQ(count.load(), 1);
    // Nothing chosen: no list either.
    count = 0;
    EXPECT_EQ(buildTableList(buffer, session, folder.path(), choice(), currentLocalTime()).length,
              0u);
}

TEST_F(ListFramesTest, VersionFileReadsElevenRowsAndFillsTheRest) {
    writeFile("数据库版本.txt", "1,2,3,4,5,6,7\n2,9\n\n4,1,1,1,1,1,300\n5\n6\n7\n8\n9\n10\n11\n12,1,1\n");
    const VersionRows rows = readVersionFile(folder.path());
    EXPECT_EQ(rows[0], (VersionRow{1, 2, 3, 4, 5, 6, 7}));
    EXPECT_EQ(rows[1], (VersionRow{2, 9, 0, 0, 0, 0, 0}));
    EXPECT_EQ(rows[2], (VersionRow{}));
    EXPECT_EQ(rows[3], (VersionRow{4, 1, 1, 1, 1, 1, 300 & 0xFF}));
    EXPECT_EQ(rows[10], (VersionRow{11, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(readVersionFile(folder.path() / "absent")[0], VersionRow{});
}

struct CompareCase {
    const char* name;
    Rows asked;
    Rows listed;  // the bridge's rows expected in the answer
};

void PrintTo(const CompareCase& c, std::ostream* out) { *out << c.name; }

class VersionComparison : public ListFramesTest,
                          public ::testing::WithParamInterface<CompareCase> {};

TEST_P(VersionComparison, ListsTheBridgesDifferingRows) {
    writeFile("数据库版本.txt", "1,0,0,0,0,0,5\n2,0,0,0,0,0,5\n20,0,0,0,0,0,1\n");
    writeTable(1, "1,2,3,a,b,4,5\n");
    writeTable(2, "1,a\n");
    const CompareCase& c = GetParam();
    request(c.asked);
    const UpdateListBuild list = buildUpdateList(buffer, session, folder.path(), choice());
    Bytes expected;
    for (const VersionRow& row : c.listed) {
        expected.insert(expected.end(), row.begin(), row.end());
    }
    if (c.listed.empty()) {
        EXPECT_EQ(list.length, 0u);
        return;
    }
    ASSERT_EQ(list.length, 12 + expected.size());
    EXPECT_EQ(listedRows(list.length), expected);
    EXPECT_EQ(list.differing, static_cast<int>(c.listed.size()));
    EXPECT_EQ(buffer[0], 1);
    EXPECT_EQ(buffer[1], 5);
    EXPECT_EQ(buffer[7], 0x82);
    EXPECT_EQ((buffer[8] << 8) | buffer[9], frameCrc(std::span(buffer.data() + 12, expected.size())));
}

const VersionRow kDishes{1, 0, 0, 0, 0, 0, 5};
const VersionRow kCategories{2, 0, 0, 0, 0, 0, 5};
const VersionRow kAboveThirteen{20, 0, 0, 0, 0, 0, 1};

INSTANTIATE_TEST_SUITE_P(
    Cases, VersionComparison,
    ::testing::Values(
        CompareCase{"identical", {kDishes, kCategories, kAboveThirteen}, {}},
        CompareCase{"one_byte_differs", {{1, 0, 0, 0, 0, 0, 4}, kCategories}, {kDishes}},
        CompareCase{"other_table_in_position_is_not_compared", {kCategories, kDishes}, {}},
        // 0xFF compares with the row in the same position whatever its table.
        CompareCase{"wildcard_table_number", {{0xFF, 0, 0, 0, 0, 0, 5}, kCategories}, {kDishes}},
        // Listed and written, with nothing to load.
        CompareCase{"table_above_thirteen_is_listed", {kDishes, kCategories, {20, 0, 0, 0, 0, 0, 0}},
                    {kAboveThirteen}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(ListFramesTest, RowsBeyondTheEleventhAreNotCompared) {
    writeFile("数据库版本.txt", "1,0,0,0,0,0,5\n");
    writeTable(1, "1,2,3,a,b,4,5\n");
    Rows asked(13, VersionRow{0xFF, 1, 1, 1, 1, 1, 1});
    asked[0] = VersionRow{1, 0, 0, 0, 0, 0, 5};
    request(asked);
    const UpdateListBuild list = buildUpdateList(buffer, session, folder.path(), choice());
    // Rows 2-11 differ from the empty version rows (table 0): listed, not written.
    EXPECT_EQ(list.differing, 10);
    EXPECT_EQ(list.tablesToSend, 0);
    EXPECT_EQ(list.length, 12u + 70);
    EXPECT_EQ(listedRows(list.length), Bytes(70, 0));
}

TEST_F(ListFramesTest, UnloadableListedTableGivesNoUpdateFrameAndTwoMessages) {
    writeFile("数据库版本.txt", "1,0,0,0,0,0,5\n3,0,0,0,0,0,5\n");
    writeTable(1, "1,2,3,a,b,4,5\n");
    request({{1, 0, 0, 0, 0, 0, 4}, {3, 0, 0, 0, 0, 0, 4}});
    const Bytes requestHead(buffer.begin(), buffer.begin() + 12);
    const UpdateListBuild list = buildUpdateList(buffer, session, folder.path(), choice());
    EXPECT_EQ(list.length, 0u);
    ASSERT_EQ(list.notices.size(), 2u);
    EXPECT_EQ(list.notices[0].text, std::string(tableFile(3)->missingMessage));
    EXPECT_EQ(list.notices[1].text, std::string(gbk::kReadFileErrorPrefix) +
                                        "\xb2\xcb\xc6\xb7\xb6\xfe\xbc\xb6\xb7\xd6\xc0\xe0\xb1\xed.txt" +
                                        std::string(gbk::kReadFileErrorSuffix));
    EXPECT_EQ(list.notices[1].caption, "\xb4\xed\xce\xf3");

    ASSERT_EQ(noUpdateFrame(buffer), 12u);
    Bytes expected = requestHead;
    expected[0] = 0;
    expected[3] = 8;
    expected[4] = 1;
    EXPECT_EQ(Bytes(buffer.begin(), buffer.begin() + 12), expected);
}

}  // namespace
}  // namespace padlink
