#include "engine/sql_run.h"
#include "engine/test_support/engine_fixture.h"
#include "engine/test_support/thread_guard.h"
#include "engine/ticket_writer.h"
#include "platform/app_paths.h"
#include "platform/gbk_text.h"

#include <QCoreApplication>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <atomic>
#include <thread>

using namespace Qt::StringLiterals;
using namespace cookhub;
using namespace cookhub::test;

namespace {

TEST(RunParameters, NumbersFallBackToTheirDefaults)
{
    const struct {
        const char16_t* text;
        int pause;
        int lookBack;
    } cases[] = {
        {u"", 3000, 120},     {u"abc", 3000, 120}, {u"0", 3000, 120},   {u"-4", 3000, 120},
        {u"5", 5000, 120},    {u"60", 60000, 120}, {u"120", 120000, 120}, {u"121", 121000, 121},
        {u"1.5", 3000, 120},  {u"99999999999999999999", 3000, 120},
    };
    for (const auto& c : cases) {
        const QString text = QString::fromUtf16(c.text);
        EXPECT_EQ(pauseFromSetting(text), c.pause) << text.toStdString();
        EXPECT_EQ(lookBackFromSetting(text), c.lookBack) << text.toStdString();
    }
}

class WorkerTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        dish(u"A1"_s, u"宫保鸡丁"_s);
        dish(u"A2"_s, u"鱼香肉丝"_s);
    }
};

TEST_F(WorkerTest, LoadParamsReadsTheSettingsAndTheBusinessDay)
{
    writeSetting(u"cd_stakeout_refresh"_s, u"5"_s);
    writeSetting(u"em_notprint_time"_s, u"200"_s);
    writeSetting(u"ZqdPrint"_s, u"1"_s);
    writeSetting(u"JqcpdPrint"_s, u"1"_s);
    writeSetting(u"WriteLog"_s, u"yes"_s);
    sql(u"insert into pos_u_day_sumup (dt_begin, dt_end) values ('2026-12-09 09:00:00', '2026-12-09 23:00:00'), ('2026-12-10 09:00:00', '2026-12-10 23:45:10')"_s);
    auto w = makeWorker();
    EXPECT_EQ(w->params().pauseMilliseconds, 5000);
    EXPECT_EQ(w->params().lookBackMinutes, 200);
    EXPECT_TRUE(w->params().zqdPrint);
    EXPECT_TRUE(w->params().jqcpdPrint);
    EXPECT_FALSE(w->params().jqdPrint);
    EXPECT_FALSE(w->params().writeLog) << "only \"1\" switches a flag on";
    EXPECT_EQ(w->params().printMode, u"3"_s);
    EXPECT_EQ(state.businessDayStart(), u"2026-12-10 23:45:10"_s);

    sql(u"delete from pos_u_day_sumup"_s);
    EXPECT_EQ(makeWorker()->params().businessDayStart, u"1899-12-30 00:00:00"_s);

    sql(u"drop table pos_u_day_sumup"_s);
    EXPECT_THROW(makeWorker(), SqlFailure) << "no worker when a parameter query fails";
}

TEST_F(WorkerTest, HeaderTakesTheStationsPrintersFolderAndBackup)
{
    station(1, u"凉菜"_s, 4, 2, u"cold"_s);
    station(2, u"面点"_s, 4, 3, u"pastry"_s);
    route(u"A1"_s, 1);
    route(u"A2"_s, 2);
    order({.dish = u"A1"_s});
    order({.dish = u"A2"_s});
    runPass(IntakePass::DC);
    const auto t = tickets();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].printName, u"cold"_s);
    EXPECT_EQ(t[0].printName2, u"cold-2"_s);
    EXPECT_TRUE(t[0].printName3Null);
    EXPECT_EQ(t[1].printName3, u"pastry-3"_s);
    for (const QueuedTicket& ticket : t) {
        EXPECT_EQ(ticket.isPrint, u"N"_s);
        EXPECT_EQ(ticket.sPath, u"[80格式]"_s);
        EXPECT_EQ(ticket.bakPrinter, u"spare"_s);
        EXPECT_EQ(ticket.tableNo, u"T1|一号桌"_s);
        EXPECT_EQ(ticket.op, u"小王"_s);
        EXPECT_TRUE(ticket.printId.startsWith(u'{') && ticket.printId.endsWith(u'}'));
        EXPECT_EQ(ticket.printId.size(), 38);
        EXPECT_EQ(ticket.printId, ticket.printId.toUpper());
    }
}

TEST_F(WorkerTest, OldTablesAreWrittenOnlyForTheTransferTitles)
{
    station(1, u"出品"_s, 1);
    route(u"A1"_s, 0, 1);
    sql(u"insert into pos_u_table values ('T1', 'B1', 'T2', 4, '')"_s);
    order({.dish = u"A1"_s, .outFlag = u"S"_s, .oldTable = u"V1"_s});  // dish moved
    order({.dish = u"A1"_s, .outFlag = u"T"_s, .oldTable = u"V1"_s});  // table moved
    order({.dish = u"A1"_s, .oldTable = u"V1"_s});
    runPass(IntakePass::CP);
    const auto t = tickets();
    ASSERT_EQ(t.size(), 3u);
    EXPECT_EQ(t[0].title, u"菜品转台出品单"_s);
    EXPECT_EQ(t[0].lines[0].oldTableNo, u"V1"_s);
    EXPECT_EQ(t[0].lines[0].oldTableName, u"包间"_s);
    EXPECT_TRUE(t[0].oldTableNoNull);
    EXPECT_EQ(t[1].title, u"转台出品单"_s);
    EXPECT_EQ(t[1].oldTableNo, u"T2|二号桌"_s);
    EXPECT_TRUE(t[1].lines[0].oldTableNo.isEmpty());
    EXPECT_EQ(t[2].title, u"出品单"_s);
    EXPECT_TRUE(t[2].oldTableNoNull);
    EXPECT_TRUE(t[2].lines[0].oldTableNo.isEmpty());
}

TEST_F(WorkerTest, SpecificationNamesAreLookedUpAndFittedToTheirColumn)
{
    station(1, u"热菜"_s, 1);
    route(u"A1"_s, 1);
    const struct {
        const char16_t* barcode;
        const char16_t* spec;
    } cases[] = {
        {u"S1", u"大份"},
        {u"S1 ", u"<null>"},  // trailing blank: no match
        {u"", u"<null>"},
        {u"NONE", u"<null>"},
        {u"LONG", u"特别特别辣"},  // 10 GBK bytes of a longer name: the ticket still queues
    };
    for (const auto& c : cases)
        order({.dish = u"A1"_s, .barcode = QString::fromUtf16(c.barcode)});
    runPass(IntakePass::DC);
    const auto t = tickets();
    ASSERT_EQ(t.size(), std::size(cases));
    for (size_t i = 0; i < t.size(); ++i)
        EXPECT_EQ(t[i].lines[0].spec, QString::fromUtf16(cases[i].spec)) << i;
}

TEST_F(WorkerTest, TraceHasEachTicketsLinesBeforeItsHeader)
{
    writeSetting(u"WriteLog"_s, u"1"_s);
    station(1, u"热菜"_s, 4);
    route(u"A1"_s, 1);
    route(u"A2"_s, 1);
    order({.dish = u"A1"_s, .num = 2, .price = 12.5, .memo = u"少辣"_s});
    order({.dish = u"A2"_s, .num = 1.5, .price = 20, .reason = u"快"_s});
    runPass(IntakePass::DC);
    const auto t = tickets();
    ASSERT_EQ(t.size(), 1u);
    const QString id = t[0].printId;
    const QStringList lines = traceLines();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[0], u"PrintDishChild | 点菜单 | 宫保鸡丁 | 份 | 2 | 12.5 | A1 | "_s + id + u" | 少辣 |  | "_s);
    EXPECT_EQ(lines[1], u"PrintDishChild | 点菜单 | 鱼香肉丝 | 份 | 1.5 | 20 | A2 | "_s + id + u" |  | 快 | "_s);
    EXPECT_TRUE(lines[2].startsWith(u"PrintDish | T1|一号桌 | 点菜单 | | | B1 | "_s)) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].endsWith(u" | 55 | 55 | 热菜 | "_s + id + u" | "_s)) << lines[2].toStdString();
}

TEST_F(WorkerTest, AFailedTicketLeavesItsDishesWaitingAndNothingQueued)
{
    station(1, u"热菜"_s, 1);
    route(u"A1"_s, 1);
    const int first = order({.dish = u"A1"_s});
    const int second = order({.dish = u"A1"_s});

    worker = makeWorker();
    TicketArrays arrays;
    {
        QSqlQuery stations(db), intake(db);
        runIntake(IntakePass::DC, stations, intake, 120, clock.now(), arrays);
    }
    ASSERT_EQ(arrays.ArrPerDish.size(), 2u);
    TicketWriter writer(db, clock, {});
    // The first ticket fails after its dishes were marked and its rows written, as a
    // lost connection or a full disk would make it.
    writer.beforeCommit = [&](const TDishRecord& r) {
        if (r.FlowIds.front() == QString::number(first))
            throw std::runtime_error("connection lost");
    };
    writer.CommitTickets(u"DC"_s, true, arrays);

    EXPECT_EQ(flag(first), u"N"_s);
    EXPECT_EQ(flag(second), u"Y"_s);
    const auto t = tickets();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(childRows(), 1) << "no lines without a header";

    // The next cycle takes the waiting dish once.
    runPass(IntakePass::DC);
    runPass(IntakePass::DC);
    EXPECT_EQ(tickets().size(), 2u);
    EXPECT_EQ(flag(first), u"Y"_s);
}

TEST_F(WorkerTest, ADishTakenMeanwhileDropsItsWholeTicket) {
    station(1, u"热菜"_s, 4);
    route(u"A1"_s, 1);
    route(u"A2"_s, 1);
    const int first = order({.dish = u"A1"_s});
    const int second = order({.dish = u"A2"_s});
    order({.bill = u"B2"_s, .table = u"T2"_s, .dish = u"A1"_s});

    TicketArrays arrays;
    {
        QSqlQuery stations(db), intake(db);
        runIntake(IntakePass::DC, stations, intake, 120, clock.now(), arrays);
    }
    ASSERT_EQ(arrays.ArrPerTable.size(), 2u);
    // Another worker queued the first dish after this intake had read it.
    sql(u"update pos_u_orderdish set ch_printflag = 'Y' where int_flowid = %1"_s.arg(first));
    TicketWriter writer(db, clock, {});
    EXPECT_TRUE(writer.CommitTickets(u"DC"_s, true, arrays));
    const auto t = tickets();
    ASSERT_EQ(t.size(), 1u);
    EXPECT_EQ(t[0].billNo, u"B2"_s);
    EXPECT_EQ(childRows(), 1);
    EXPECT_EQ(flag(second), u"N"_s) << "the ticket's other dish waits for the next cycle";

    // A run that ends inside the commit keeps nothing of the pass.
    sql(u"update pos_u_orderdish set ch_printflag = 'N'"_s);
    sql(u"delete from Pos_u_PrintDish"_s);
    sql(u"delete from Pos_u_PrintDishChild"_s);
    arrays.ClearTickets();
    {
        QSqlQuery stations(db), intake(db);
        runIntake(IntakePass::DC, stations, intake, 120, clock.now(), arrays);
    }
    const RunToken token = state.currentToken();
    writer.setRunToken(&token);
    writer.beforeCommit = [&](const TDishRecord&) { state.beginRun(); };  // a later Start
    EXPECT_FALSE(writer.CommitTickets(u"DC"_s, true, arrays));
    EXPECT_TRUE(tickets().empty());
    EXPECT_EQ(childRows(), 0);
    EXPECT_EQ(flag(first), u"N"_s);
}

// The real threads of two runs: worker A is held inside its first ticket's commit
// while a Start makes worker B, which takes the whole stream; released, A must not
// queue anything B has queued.
TEST_F(WorkerTest, TwoRealWorkersOverlappingQueueEveryLineOnce) {
    // Real time with short pauses, so both threads cycle without spinning.
    class QuickClock final : public Clock {
      public:
        QDateTime now() const override { return QDateTime::currentDateTime(); }
        void sleep(int) override { QThread::msleep(20); }
    } quick;
    clock.set(quick.now());
    QTemporaryDir printers;
    qputenv("COOKHUB_PRINTER_DIR", QFile::encodeName(printers.path()));
    station(1, u"热菜"_s, 1);
    station(2, u"传菜"_s, 4);
    route(u"A1"_s, 1, 2);
    route(u"A2"_s, 1, 2);
    int lines = 0;
    auto feed = [&](int n) {
        for (int i = 0; i < n; ++i, ++lines)
            order({.bill = u"B%1"_s.arg(lines / 5),
                   .dish = lines % 2 ? u"A1"_s : u"A2"_s,
                   .memo = u"L%1"_s.arg(lines)});
    };
    auto waiting = [&] {
        QSqlQuery q(db);
        q.exec(
            u"select count(*) from pos_u_orderdish where ch_printflag <> 'Y' or ch_outflag1 <> 'Y'"_s);
        return q.next() ? q.value(0).toInt() : -1;
    };
    feed(20);

    Gate held;
    std::atomic<int> heldTickets{0};
    std::unique_ptr<TPrintThread> a, b;
    const ScopeExit end([&] {
        held.open();
        state.stop();
        endThread(a);
        endThread(b);
        qunsetenv("COOKHUB_PRINTER_DIR");
    });
    a = std::make_unique<TPrintThread>(state, quick, state.currentToken(), db, connection);
    a->beforeTicketWrites = [&](const TDishRecord&) {
        if (heldTickets++ == 0)
            held.arriveAndWait();
    };
    a->start();
    ASSERT_TRUE(held.waitArrived());

    state.beginRun();  // Start while running: the tray menu, or the watchdog
    b = std::make_unique<TPrintThread>(state, quick, state.currentToken(), db, connection);
    b->start();
    feed(10);
    ASSERT_TRUE(waitUntil([&] { return waiting() == 0; })) << waiting() << " lines left";

    held.open();
    ASSERT_TRUE(a->wait(30000)) << "the replaced worker stops at its next check";
    EXPECT_EQ(heldTickets.load(), 1) << "and writes no further ticket";
    feed(10);
    ASSERT_TRUE(waitUntil([&] { return waiting() == 0; })) << waiting() << " lines left";
    state.stop();
    ASSERT_TRUE(b->wait(30000));

    // Every line once on an order ticket of station 1 and once on a table ticket of
    // station 2, nothing more.
    QSqlQuery q(db);
    ASSERT_TRUE(q.exec(
        u"select c.vch_print_memo, h.vch_Name, count(*) from Pos_u_PrintDishChild c "
        "join Pos_u_PrintDish h on h.PrintId = c.ParentId group by c.vch_print_memo, h.vch_Name"_s));
    int pairs = 0;
    while (q.next()) {
        ++pairs;
        EXPECT_EQ(q.value(2).toInt(), 1)
            << q.value(0).toString().toStdString() << " at " << q.value(1).toString().toStdString();
    }
    EXPECT_EQ(pairs, 2 * lines);
}

TEST_F(WorkerTest, CycleQueuesOnceAndAFailingQueryStopsTheService)
{
    station(1, u"热菜"_s, 3);
    route(u"A1"_s, 1, 1);
    order({.dish = u"A1"_s});
    worker = makeWorker();
    ASSERT_TRUE(worker->runCycle(db));
    EXPECT_EQ(clock.sleptMilliseconds(), 3000);
    EXPECT_EQ(state.heartbeat(), clock.now().addMSecs(-3000));
    ASSERT_TRUE(worker->runCycle(db));
    const auto t = tickets();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0].title, u"点菜单"_s);
    EXPECT_EQ(t[1].title, u"出品单"_s);

    sql(u"drop table pos_bt_dish"_s);
    EXPECT_THROW(worker->runCycle(db), SqlFailure);

    // On its own thread the worker hands the failure to Stop and ends.
    std::atomic<int> stops{0};
    worker = makeWorker();
    worker->stopService = [&] {
        ++stops;
        state.stop();
    };
    worker->start();
    ASSERT_TRUE(worker->wait(20000));
    EXPECT_EQ(stops.load(), 1);
    EXPECT_EQ(state.runFlag(), u"N"_s);
}

TEST_F(WorkerTest, AStoppedOrSupersededWorkerDoesNoMoreWork)
{
    station(1, u"热菜"_s, 1);
    route(u"A1"_s, 1);
    worker = makeWorker();
    state.beginRun();  // a later Start
    order({.dish = u"A1"_s});
    EXPECT_FALSE(worker->runCycle(db));
    EXPECT_TRUE(tickets().empty());

    auto current = makeWorker();
    state.stop();
    EXPECT_FALSE(current->runCycle(db));
    EXPECT_TRUE(tickets().empty());
}

}  // namespace
