// The POS role against a real POS file built from the demo's schema and seed:
// request lines in, answer texts and ordered dish lines out.
#include "pos_role.h"

#include "engine/test_support/pos_database.h"

#include <sqlite3.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using cookhub::test::PosHome;

// An item record's line as the bridge writes it: 18 fields, quantity in
// tenths shown as a fraction, amount with two places.
std::string item(int dish, int table, int handheld, int spec, const char* quantity,
                 std::vector<int> remarks = {}, int kind = 3) {
    std::string line = std::to_string(dish) + "," + std::to_string(table) + "," +
                       std::to_string(handheld) + "," + std::to_string(spec) + "," + quantity +
                       ",0,0,0," + std::to_string(kind);
    remarks.resize(7, 0);
    for (int remark : remarks) {
        line += "," + std::to_string(remark);
    }
    return line + ",0.00,0\r\n";
}

std::string orderLine(const std::vector<std::string>& items) {
    std::string line = "LD\r\n";
    for (const auto& i : items) {
        line += i;
    }
    return line;
}

class PosRoleTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string error;
        pos = frontend::PosRole::open(home.databaseFile().toStdString(), &error);
        ASSERT_TRUE(pos) << error;
        ASSERT_EQ(sqlite3_open(home.databaseFile().toStdString().c_str(), &db), SQLITE_OK);
    }
    void TearDown() override { sqlite3_close(db); }

    std::string ask(const std::string& notice, const std::string& line, std::uint32_t station = 1) {
        return pos->answer(station, notice, line).value_or("<none>");
    }

    // Rows of a query, fields joined by "|".
    std::vector<std::string> rows(const std::string& sql) {
        std::vector<std::string> out;
        sqlite3_stmt* stmt = nullptr;
        EXPECT_EQ(sqlite3_prepare_v2(db, sql.c_str(), -1, &stmt, nullptr), SQLITE_OK) << sql;
        while (stmt != nullptr && sqlite3_step(stmt) == SQLITE_ROW) {
            std::string row;
            for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
                const auto* text = sqlite3_column_text(stmt, c);
                row +=
                    (c ? "|" : "") + std::string(text ? reinterpret_cast<const char*>(text) : "");
            }
            out.push_back(row);
        }
        sqlite3_finalize(stmt);
        return out;
    }
    int orderedLines() { return std::stoi(rows("SELECT count(*) FROM pos_u_orderdish").at(0)); }

    PosHome home;
    std::unique_ptr<frontend::PosRole> pos;
    sqlite3* db = nullptr;
};

// The seed's tables A01..A06, V01..V04 are the handhelds' tables 1..10.
TEST_F(PosRoleTest, WaiterLogsInOpensOrdersHurriesReturnsAndChecksOut) {
    EXPECT_EQ(ask("DL", "DL,5,1001"), "0,0,0,0,0,0,0,0,0,0,0");
    EXPECT_EQ(pos->tableNo(2), "A02");
    EXPECT_EQ(pos->tableNumber("V01"), 7);

    const std::string opened = ask("KT", "KT,2,3,5");
    const auto bill =
        rows("SELECT ch_billno, int_person FROM pos_u_table WHERE ch_tableno = 'A02'");
    ASSERT_EQ(bill.size(), 1u);
    const std::string billNo = bill[0].substr(0, bill[0].find('|'));
    EXPECT_EQ(bill[0], billNo + "|3");
    EXPECT_EQ(opened, "0|2,1,3,1,0,0,0,0,0,0");
    // A second waiter on the same table joins the bill instead of opening one.
    EXPECT_EQ(ask("DT", "DT,2,0,6"), opened);
    EXPECT_EQ(rows("SELECT count(*) FROM pos_u_table WHERE ch_tableno = 'A02'")[0], "1");

    // 宫保鸡丁 x1.5, 微辣 (the 4th specification), two remarks; the set meal as its parts.
    EXPECT_EQ(
        ask("LD", orderLine({item(1001, 2, 5, 4, "1.5", {1, 3}), item(9001, 2, 5, 0, "2.0")})),
        "0|4,1");
    EXPECT_EQ(
        rows("SELECT ch_billno, ch_tableno, ch_dishno, ch_suitdishno, ch_dish_barcode, "
             "num_num, num_price, vch_print_memo, vch_operid, ch_cancelflag, ch_printflag, "
             "dt_operdate = dt_dis_operdate, dt_operdate > datetime('now','localtime','-1 minute') "
             "FROM pos_u_orderdish WHERE ch_tableno = 'A02' ORDER BY int_flowid"),
        (std::vector<std::string>{
            billNo + "|A02|1001||S4|1.5|38|少辣 少放花生|1001|N|N|1|1",
            billNo + "|A02|1004|9001||2|88||1001|N|N|1|1",
            billNo + "|A02|3001|9001||2|22||1001|N|N|1|1",
            billNo + "|A02|6001|9001||2|26||1001|N|N|1|1",
        }));

    // Hurry (field 9 raised by 100) marks the line; a return adds a returned line.
    EXPECT_EQ(ask("CC", "CC,1001,2,5,0,0.0,0,0,0,103,0,0,0,0,0,0,0\r\n"), "0");
    EXPECT_EQ(ask("CC", "CC,3001,2,5,0,1.0,0,0,0,3,0,0,0,0,0,0,0\r\n"), "0");
    EXPECT_EQ(rows("SELECT ch_dishno, num_num, ch_cancelflag, ch_printflag, vch_reason "
                   "FROM pos_u_orderdish WHERE ch_tableno = 'A02' AND ch_printflag <> 'N' "
                   "ORDER BY int_flowid"),
              (std::vector<std::string>{"1001|1.5|N|H|催菜", "3001|1|Y|B|退菜"}));

    EXPECT_EQ(ask("JZ", "JZ,2,123.00,5"), "0");
    EXPECT_TRUE(rows("SELECT 1 FROM pos_u_table WHERE ch_tableno = 'A02'").empty());
    EXPECT_EQ(ask("LD", orderLine({item(1001, 2, 5, 0, "1.0")})), "2");
    // The next bill of the day gets the next number.
    EXPECT_EQ(ask("KT", "KT,2,2,5"), "0|2,2,2,1,0,0,0,0,0,0");
}

TEST_F(PosRoleTest, RefusalsLeaveTheDatabaseAsItWas) {
    const int before = orderedLines();
    ASSERT_EQ(ask("KT", "KT,4,2,1"), "0|4,1,2,1,0,0,0,0,0,0");
    const struct {
        const char* notice;
        std::string line;
        std::string answer;
    } cases[] = {
        {"DL", "DL,1,7777", "1,0,0,0,0,0,0,0,0,0,0"},  // no such operator
        {"DL", "DL,1,", "1,0,0,0,0,0,0,0,0,0,0"},
        {"KT", "KT,99,2,1", "3"},  // no such table
        {"KT", "KT,0,2,1", "3"},
        {"DT", "DT,5,0,1", "0|5,0,0,0,0,0,0,0,0,0"},           // a free table stays free
        {"LD", orderLine({item(1001, 5, 1, 0, "1.0")}), "2"},  // no bill on table 5
        // One unknown dish spoils the whole order: nothing of it is recorded.
        {"LD", orderLine({item(1001, 4, 1, 0, "1.0"), item(1234, 4, 1, 0, "1.0")}), "3"},
        {"LD", orderLine({item(1001, 4, 1, 99, "1.0")}), "3"},  // no such specification
        {"LD", "LD\r\n", "3"},
        {"CC", "CC,2001,4,1,0,1.0,0,0,0,3,0,0,0,0,0,0,0\r\n", "3"},  // never ordered here
        {"JZ", "JZ,5,0.00,1", "2"},
        {"XGJG", "XGJG,1,2", "<none>"},  // left to the script and the defaults
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ask(c.notice, c.line), c.answer) << c.notice << " " << c.line;
    }
    EXPECT_EQ(orderedLines(), before);
    EXPECT_EQ(rows("SELECT count(*) FROM pos_u_table WHERE ch_tableno IN ('A05', 'A06')")[0], "0");
}

TEST(PosRoleOpen, RefusesAFileWithoutPosTables) {
    PosHome empty(PosHome::Content::Empty);
    std::string error;
    EXPECT_FALSE(frontend::PosRole::open(empty.databaseFile().toStdString(), &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(frontend::PosRole::open("/nonexistent/pos.db", &error));
}

}  // namespace
