#include "engine/test_support/engine_fixture.h"
#include "engine/ticket_title.h"

#include <QSqlQuery>

using namespace Qt::StringLiterals;
using namespace cookhub;
using namespace cookhub::test;

namespace {

TEST(TicketTitles, FollowTheLetterAndTheBaseTitle)
{
    const QString takeAway = kOrderTicket + kTakeAwaySuffix;
    const struct {
        const char16_t* letter;
        QString base;
        const char16_t* title;
    } cases[] = {
        {u"H", kOrderTicket, u"催菜单"},      {u"H", kOutputTicket, u"出品单"},
        {u"S", kOrderTicket, u"特别要求单"},  {u"S", kOutputTicket, u"菜品转台出品单"},
        {u"G", kOrderTicket, u"叫起单"},      {u"G", kOutputTicket, u"叫起出品单"},
        {u"J", kOrderTicket, u"即起单"},      {u"J", kOutputTicket, u"即起出品单"},
        {u"B", kOrderTicket, u"退菜单"},      {u"B", takeAway, u"退菜出品单"},
        {u"T", kOrderTicket, u"点菜单"},      {u"T", kOutputTicket, u"转台出品单"},
        {u"N", takeAway, u"点菜单(外卖)"},    {u"", kOutputTicket, u"出品单"},
        {u"h", kOrderTicket, u"点菜单"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TicketTitle(QString::fromUtf16(c.letter), c.base), QString::fromUtf16(c.title))
            << QString::fromUtf16(c.letter).toStdString() << " " << c.base.toStdString();
}

class IntakeTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        for (const auto& [no, name, type, series] :
             {std::tuple{u"A1", u"宫保鸡丁", u"A", u"1"}, std::tuple{u"A2", u"鱼香肉丝", u"A", u"2"},
              std::tuple{u"A3", u"水煮鱼", u"A", u"1"}, std::tuple{u"B1", u"拍黄瓜", u"B", u"2"}})
            dish(QString::fromUtf16(no), QString::fromUtf16(name), QString::fromUtf16(type),
                 QString::fromUtf16(series));
    }

    std::vector<QStringList> ticketDishes()
    {
        std::vector<QStringList> result;
        for (const QueuedTicket& t : tickets())
            result.push_back(QStringList{t.title} + t.dishNames());
        return result;
    }
};

// Four dishes of one bill with types A, B, A, A at a station that groups by type.
TEST_F(IntakeTest, GroupingByTypeKeepsBillsAndLettersApart)
{
    const struct {
        const char* label;
        const char16_t* bills[4];
        const char16_t* flags[4];
        std::vector<QStringList> expected;
    } cases[] = {
        {"one bill",
         {u"B1", u"B1", u"B1", u"B1"},
         {u"N", u"N", u"N", u"N"},
         {{u"点菜单"_s, u"宫保鸡丁"_s, u"水煮鱼"_s, u"鱼香肉丝"_s}, {u"点菜单"_s, u"拍黄瓜"_s}}},
        {"last dish on another bill",
         {u"B1", u"B1", u"B1", u"B2"},
         {u"N", u"N", u"N", u"N"},
         {{u"点菜单"_s, u"宫保鸡丁"_s, u"水煮鱼"_s}, {u"点菜单"_s, u"拍黄瓜"_s}, {u"点菜单"_s, u"鱼香肉丝"_s}}},
        {"third dish hurried",
         {u"B1", u"B1", u"B1", u"B1"},
         {u"N", u"N", u"H", u"N"},
         {{u"点菜单"_s, u"宫保鸡丁"_s, u"鱼香肉丝"_s}, {u"点菜单"_s, u"拍黄瓜"_s}, {u"催菜单"_s, u"水煮鱼"_s}}},
    };
    const QString dishes[] = {u"A1"_s, u"B1"_s, u"A3"_s, u"A2"_s};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.label);
        sql(u"delete from pos_u_orderdish"_s);
        sql(u"delete from Pos_u_PrintDish"_s);
        sql(u"delete from Pos_u_PrintDishChild"_s);
        sql(u"delete from pos_bt_dish_cookprint"_s);
        sql(u"delete from pos_cp_dish_print"_s);
        station(1, u"热菜"_s, 3);
        for (const QString& d : dishes)
            route(d, 1);
        for (int i = 0; i < 4; ++i) {
            OrderLine line;
            line.dish = dishes[i];
            line.bill = QString::fromUtf16(c.bills[i]);
            line.printFlag = QString::fromUtf16(c.flags[i]);
            order(line);
        }
        runPass(IntakePass::DC);
        EXPECT_EQ(ticketDishes(), c.expected);
    }
}

TEST_F(IntakeTest, ReturnedDishPrefixDependsOnTheGroupingMode)
{
    // A returned dish first in its group, then a returned dish joined behind another.
    const struct {
        int mode;
        std::vector<QStringList> expected;
    } cases[] = {
        {1, {{u"点菜单"_s, u"宫保鸡丁"_s}, {u"点菜单"_s, u"水煮鱼"_s}, {u"点菜单"_s, u"鱼香肉丝"_s}}},
        {2, {{u"点菜单"_s, u"(退)宫保鸡丁"_s, u"水煮鱼"_s}, {u"点菜单"_s, u"鱼香肉丝"_s}}},
        {3, {{u"点菜单"_s, u"(退)宫保鸡丁"_s, u"水煮鱼"_s, u"鱼香肉丝"_s}}},
        {4, {{u"点菜单"_s, u"(退)宫保鸡丁"_s, u"(退)水煮鱼"_s, u"鱼香肉丝"_s}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode);
        for (const char16_t* table : {u"pos_u_orderdish", u"Pos_u_PrintDish", u"Pos_u_PrintDishChild",
                                      u"pos_bt_dish_cookprint", u"pos_cp_dish_print"})
            sql(u"delete from "_s + QString::fromUtf16(table));
        station(1, u"热菜"_s, c.mode);
        for (const QString& d : {u"A1"_s, u"A3"_s, u"A2"_s})
            route(d, 1);
        OrderLine first{.dish = u"A1"_s, .cancel = u"Y"_s};
        OrderLine joined{.dish = u"A3"_s, .cancel = u"Y"_s};
        OrderLine plain{.dish = u"A2"_s};
        order(first);
        order(joined);
        order(plain);
        runPass(IntakePass::DC);
        EXPECT_EQ(ticketDishes(), c.expected);
    }
}

TEST_F(IntakeTest, TakeAwayFirstLineNamesEveryOrderTicketOfTheStation)
{
    station(1, u"热菜"_s, 4);
    route(u"A1"_s, 1, 1);
    route(u"B1"_s, 1, 1);
    order({.bill = u"B1"_s, .dish = u"A1"_s, .togo = u"T9"_s});
    order({.bill = u"B2"_s, .table = u"T2"_s, .dish = u"B1"_s, .printFlag = u"B"_s});
    runPass(IntakePass::DC);
    runPass(IntakePass::CP);
    QStringList titles;
    for (const QueuedTicket& t : tickets())
        titles << t.title;
    EXPECT_EQ(titles, (QStringList{u"点菜单(外卖)"_s, u"退菜出品单"_s, u"出品单"_s, u"出品单"_s}));
}

TEST_F(IntakeTest, AmountsCountPresentsInGrossOnly)
{
    station(1, u"热菜"_s, 4);
    route(u"A1"_s, 1);
    route(u"A2"_s, 1);
    order({.dish = u"A1"_s, .num = 2, .price = 30, .addPrice = 5, .discount = 90, .discount2 = 50});
    order({.dish = u"A2"_s, .num = 1, .price = 18, .present = u"Y"_s});
    runPass(IntakePass::DC);
    const auto t = tickets();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_DOUBLE_EQ(t[0].allMoney, 2 * 30 + 2 * 5 + 18);
    EXPECT_DOUBLE_EQ(t[0].inMoney, (2 * 30 * 90 / 100.0) * 50 / 100.0 + 2 * 5);
}

TEST_F(IntakeTest, RoutingAreaBeforeStationCutoffAndExcludedLines)
{
    station(1, u"热菜"_s, 4);
    station(2, u"传菜口"_s, 4);
    sql(u"insert into pos_cp_area_detail values (7, 2, '01')"_s);
    route(u"A1"_s, 1, 0, 7);  // by station and by area: the area pass takes it
    route(u"A2"_s, 1);
    route(u"A3"_s, 1, 1);
    const int area = order({.dish = u"A1"_s});
    const int old = order({.dish = u"A2"_s, .minutesAgo = 121});
    const int recent = order({.dish = u"A2"_s, .minutesAgo = 119});
    const int excluded = order({.dish = u"A3"_s, .printFlag = u"K"_s});
    runAllPasses();

    const auto t = tickets();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].station, u"传菜口"_s);
    EXPECT_EQ(t[0].dishNames(), QStringList{u"宫保鸡丁"_s});
    EXPECT_EQ(t[1].station, u"热菜"_s);
    EXPECT_EQ(t[1].dishNames(), QStringList{u"鱼香肉丝"_s});
    EXPECT_EQ(flag(area), u"Y"_s);
    EXPECT_EQ(flag(recent), u"Y"_s);
    EXPECT_EQ(flag(old), u"N"_s);
    EXPECT_EQ(flag(excluded), u"K"_s);
    EXPECT_EQ(flag(excluded, u"ch_outflag1"_s), u"N"_s) << "no output ticket for a K line either";

    // A longer look-back takes the older line at the next worker's start.
    writeSetting(u"em_notprint_time"_s, u"150"_s);
    worker = makeWorker();
    runPass(IntakePass::DC);
    EXPECT_EQ(tickets().size(), 3u);
    EXPECT_EQ(flag(old), u"Y"_s);
}

// A dish with two routing rows: the first station of the station list takes it, onto
// one line of one ticket, whatever order the arrays are committed in.
TEST_F(IntakeTest, ADishWithTwoRoutingRowsGoesToTheFirstStationOnce) {
    const struct {
        int firstType, secondType;
        std::vector<QStringList> expected;  // station, then dish names, in queue order
    } cases[] = {
        // The per-table array is committed before the per-dish one.
        {1, 4, {{u"传菜"_s, u"鱼香肉丝"_s}, {u"热菜"_s, u"宫保鸡丁"_s}}},
        {4, 1, {{u"热菜"_s, u"宫保鸡丁"_s}, {u"传菜"_s, u"鱼香肉丝"_s}}},
        {3, 2, {{u"传菜"_s, u"鱼香肉丝"_s}, {u"热菜"_s, u"宫保鸡丁"_s}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.firstType * 10 + c.secondType);
        for (const char16_t* table :
             {u"pos_u_orderdish", u"Pos_u_PrintDish", u"Pos_u_PrintDishChild",
              u"pos_bt_dish_cookprint", u"pos_cp_dish_print"})
            sql(u"delete from "_s + QString::fromUtf16(table));
        station(1, u"热菜"_s, c.firstType);
        station(2, u"传菜"_s, c.secondType);
        route(u"A1"_s, 1);
        route(u"A1"_s, 2);  // a second routing row of the same dish
        route(u"A2"_s, 2);
        const int first = order({.dish = u"A1"_s});
        order({.dish = u"A2"_s});
        runPass(IntakePass::DC);
        std::vector<QStringList> queued;
        for (const QueuedTicket& t : tickets())
            queued.push_back(QStringList{t.station} + t.dishNames());
        EXPECT_EQ(queued, c.expected);
        EXPECT_EQ(flag(first), u"Y"_s);
    }
}

// Without an order the engine returns rows as its plan finds them: through the POS
// schema's index on the order time, SQLite returns these the other way round.
TEST_F(IntakeTest, TicketsAndLinesFollowTheOrderOfOrdering) {
    station(1, u"热菜"_s, 3);
    station(2, u"凉菜"_s, 1);
    for (const QString& d : {u"A1"_s, u"A3"_s, u"B1"_s, u"A2"_s}) {
        route(d, 1);
        route(d, 0, 2);
    }
    order({.dish = u"A1"_s, .minutesAgo = 5});
    order({.dish = u"B1"_s, .minutesAgo = 10});
    order({.dish = u"A3"_s, .minutesAgo = 20});
    order({.dish = u"A2"_s, .minutesAgo = 30});
    runPass(IntakePass::DC);
    runPass(IntakePass::CP);
    EXPECT_EQ(ticketDishes(),
              (std::vector<QStringList>{{u"点菜单"_s, u"宫保鸡丁"_s, u"水煮鱼"_s, u"鱼香肉丝"_s},
                                        {u"点菜单"_s, u"拍黄瓜"_s},
                                        {u"出品单"_s, u"宫保鸡丁"_s},
                                        {u"出品单"_s, u"拍黄瓜"_s},
                                        {u"出品单"_s, u"水煮鱼"_s},
                                        {u"出品单"_s, u"鱼香肉丝"_s}}));
}

TEST_F(IntakeTest, StationsWithoutPrintersOrRuleGetNothing)
{
    station(1, u"无打印机"_s, 4, 0);
    station(2, u"未知分组"_s, 9);
    route(u"A1"_s, 1);
    route(u"A2"_s, 2);
    const int noPrinter = order({.dish = u"A1"_s});
    const int noRule = order({.dish = u"A2"_s});
    runPass(IntakePass::DC);
    EXPECT_TRUE(tickets().empty());
    EXPECT_EQ(childRows(), 0);
    EXPECT_EQ(flag(noPrinter), u"Y"_s) << "taken by intake, as designed, though never printed";
    EXPECT_EQ(flag(noRule), u"N"_s) << "read again in every cycle";
}

}  // namespace
