#include "engine/print_queue.h"
#include "engine/test_support/engine_fixture.h"
#include "engine/trace.h"
#include "platform/gbk_text.h"

#include <QDir>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace cookhub;
using namespace cookhub::test;

namespace {

struct QueueRow {
    QString title = u"点菜单"_s;
    QString tableNo = u"A01|大厅1号"_s;
    QString oldTableNo;
    QString billNo = u"B1"_s;
    QString printName = u"hot"_s;
    QString printName2;
    QString printName3;
    QString sPath = u"[80格式]"_s;
    QString isPrint = u"N"_s;
    int minutesAgo = 5;      // PrintTime and dTime
    int dTimeDaysAgo = 0;    // dTime further back
    double allMoney = 58, inMoney = 40;
    QStringList dishes = {u"宫保鸡丁"_s};
};

// The file printers record what the pass printed; a printer can be made busy, and a
// file printer whose name cannot be a folder refuses its jobs.
class RecordingOutput final : public PrinterOutput {
public:
    int jobCount(const QString& printer) override
    {
        return busy.contains(printer) ? 2 : PrinterOutput::jobCount(printer);
    }
    void showMessage(const QString& text) override { messages << text; }
    QStringList busy;
    QStringList messages;
};

class PrintQueueTest : public EngineTest {
protected:
    void SetUp() override
    {
        EngineTest::SetUp();
        qputenv("COOKHUB_PRINTER_DIR", QFile::encodeName(printers.path()));
        // The shipped templates, as the build puts them beside the executable.
        for (const char16_t* folder : {u"80格式", u"58格式"}) {
            const QString from = QStringLiteral(COOKHUB_REPORTS_SOURCE_DIR) + u'/' + QString::fromUtf16(folder);
            const QString to = home.appDir() + u"Reports/"_s + QString::fromUtf16(folder);
            QDir().mkpath(to);
            for (const QString& name : QDir(from).entryList(QDir::Files))
                QFile::copy(from + u'/' + name, to + u'/' + name);
        }
        writeSetting(u"WriteLog"_s, u"1"_s);
        token = state_.currentToken();
    }
    void TearDown() override
    {
        qunsetenv("COOKHUB_PRINTER_DIR");
        EngineTest::TearDown();
    }

    QString queue(const QueueRow& r)
    {
        static int serial = 0;
        const QString id = u"{TICKET-%1}"_s.arg(++serial, 4, 10, QLatin1Char('0'));
        const QString printTime = formatDateTime(clock.now().addSecs(-60LL * r.minutesAgo));
        const QString dTime =
            formatDateTime(clock.now().addSecs(-60LL * r.minutesAgo).addDays(-r.dTimeDaysAgo));
        auto text = [](const QString& v) { return v.isEmpty() ? u"NULL"_s : u"'"_s + v + u"'"_s; };
        sql(u"insert into Pos_u_PrintDish (PrintId, PrintTime, PrintName, PrintName2, PrintName3, TableNo, OldTableNo, Title, BillNo, sPath, dTime, AllMoney, InMoney, IsPrint, vch_operator, vch_Name) values ('%1', '%2', %3, %4, %5, '%6', %7, '%8', '%9', %10, '%11', %12, %13, '%14', '小王', '热菜')"_s
                .arg(id, printTime, text(r.printName), text(r.printName2), text(r.printName3), r.tableNo,
                     text(r.oldTableNo), r.title, r.billNo)
                .arg(text(r.sPath), dTime)
                .arg(r.allMoney)
                .arg(r.inMoney)
                .arg(r.isPrint));
        for (const QString& dish : r.dishes) {
            sql(u"insert into Pos_u_PrintDishChild (ParentId, ch_dishno, DishName, DishUnit, Nums, num_price) values ('%1', 'D', '%2', '份', 1, 10)"_s
                    .arg(id, dish));
        }
        return id;
    }

    QString state(const QString& id, const QString& column = u"IsPrint"_s)
    {
        QSqlQuery q(db);
        q.exec(u"select %1 from Pos_u_PrintDish where PrintId = '%2'"_s.arg(column, id));
        return q.next() ? (q.value(0).isNull() ? u"<null>"_s : q.value(0).toString()) : u"<gone>"_s;
    }

    // The text renderings a file printer received, in print order.
    QStringList printed(const QString& printer)
    {
        QStringList texts;
        const QDir dir(printers.path() + u'/' + printer);
        for (const QString& name : dir.entryList({u"*.txt"_s}, QDir::Files, QDir::Name)) {
            QFile f(dir.filePath(name));
            f.open(QIODevice::ReadOnly);
            texts << QString::fromUtf8(f.readAll());
        }
        return texts;
    }


    bool pass()
    {
        if (!worker)
            worker = makeWorker();
        const std::function<void(const QString&)> trace = [this](const QString& text) {
            WriteTrace(home.appDir(), clock, text);
        };
        PrintPassContext context{db, worker->params(), clock, token, state_, output, report, trace};
        return PrintQueue(context);
    }

    QTemporaryDir printers;
    RecordingOutput output;
    report::Report report;
    RunToken token;
    ServiceState& state_ = EngineTest::state;
};

TEST_F(PrintQueueTest, PrintsWaitingTicketsInQueueOrderAndMarksThemDone)
{
    const QString first = queue({.dishes = {u"宫保鸡丁"_s, u"鱼香肉丝"_s}});
    const QString second = queue({.title = u"退菜单"_s, .tableNo = u"A02|大厅2号"_s, .dishes = {u"(退)水煮鱼"_s}});
    const QString noLines = queue({.dishes = {}});
    const QString old = queue({.minutesAgo = 121});
    ASSERT_TRUE(pass());

    const QStringList papers = printed(u"hot"_s);
    ASSERT_EQ(papers.size(), 2);
    EXPECT_TRUE(papers[0].contains(u"点菜单"_s) && papers[0].contains(u"A01"_s) &&
                papers[0].contains(u"大厅1号"_s) && papers[0].contains(u"鱼香肉丝"_s))
        << papers[0].toStdString();
    EXPECT_TRUE(papers[1].contains(u"退菜单"_s) && papers[1].contains(u"(退)水煮鱼"_s)) << papers[1].toStdString();
    EXPECT_EQ(state(first), u"Y"_s);
    EXPECT_EQ(state(second), u"Y"_s);
    EXPECT_EQ(state(noLines), u"N"_s) << "a ticket without lines waits";
    EXPECT_EQ(state(old), u"N"_s) << "outside the look-back window";
    EXPECT_FALSE(QDir(printers.path() + u"/hot"_s).exists(u"0003.txt"_s));
}

TEST_F(PrintQueueTest, BackupPrinterTakesTheTicketAndItsConfirmations)
{
    state_.printList.setFault(u"hot"_s, true);
    state_.printList.setBackup(0, u"hot"_s, u"spare"_s, 1);
    const QString ticket = queue({});
    const QString sentToSpare = queue({.printName = u"spare"_s, .isPrint = u"S"_s});
    const QString sentToHot = queue({.isPrint = u"S"_s});
    ASSERT_TRUE(pass());
    EXPECT_EQ(printed(u"spare"_s).size(), 1);
    EXPECT_TRUE(printed(u"hot"_s).isEmpty());
    EXPECT_EQ(state(ticket), u"Y"_s);
    EXPECT_EQ(state(sentToSpare), u"Y"_s) << "confirmed on the printer actually used";
    EXPECT_EQ(state(sentToHot), u"S"_s);
}

TEST_F(PrintQueueTest, WaitingReasonsLeaveTheTicketWaitingWithTheirTrace)
{
    output.busy << u"busy"_s;
    const QString busy = queue({.printName = u"busy"_s});
    const QString noFolder = queue({.sPath = QString()});
    const QString noTemplate = queue({.sPath = u"[99格式]"_s});
    const QString transfer = queue({.title = u"转台出品单"_s, .tableNo = u"A03|x"_s, .sPath = u"[99格式]"_s});
    const QString timedOut = queue({.dTimeDaysAgo = 2});
    ASSERT_TRUE(pass());

    for (const QString& id : {busy, noFolder, noTemplate, transfer, timedOut})
        EXPECT_EQ(state(id), u"N"_s) << id.toStdString();
    EXPECT_EQ(state(timedOut, u"dTimeOut"_s).size(), 19) << "stamped with the server time";
    EXPECT_EQ(state(busy, u"dTimeOut"_s), u"<null>"_s);
    EXPECT_EQ(traceLines(), (QStringList{u"打印机状态异常!"_s, u"格式未选择!"_s, u"格式未知错误!"_s, u"格式未知错误!"_s}));
    EXPECT_EQ(output.messages, QStringList{u"转台出品单打印格式不能为空,或设置有误，请设置好打印格式！"_s});
    EXPECT_TRUE(printed(u"hot"_s).isEmpty());
}

TEST_F(PrintQueueTest, SwitchedOffKindsAreDroppedAndTheOthersPrint)
{
    writeSetting(u"ZqdPrint"_s, u"0"_s);
    writeSetting(u"ZqcpdPrint"_s, u"1"_s);
    const QString callUp = queue({.title = u"叫起单"_s});
    const QString callUpOutput = queue({.title = u"叫起出品单"_s});
    ASSERT_TRUE(pass());
    EXPECT_EQ(state(callUp), u"Y"_s);
    EXPECT_EQ(state(callUpOutput), u"Y"_s);
    const QStringList papers = printed(u"hot"_s);
    ASSERT_EQ(papers.size(), 1);
    EXPECT_TRUE(papers[0].contains(u"叫起出品单"_s));
}

TEST_F(PrintQueueTest, SubTableSuffixThreePrintersAndRepeatedTransfers)
{
    sql(u"insert into pos_u_table_temp values ('B7', 'A01', '2')"_s);
    const QString sub = queue({.tableNo = u"A01|大厅1号"_s, .billNo = u"B7 "_s, .printName2 = u"hot2"_s,
                               .printName3 = u"hot3"_s});
    const QString firstMove = queue({.title = u"转台出品单"_s, .tableNo = u"A05|五号"_s, .billNo = u"B9"_s});
    const QString secondMove = queue({.title = u"转台出品单"_s, .tableNo = u"A05|五号"_s, .billNo = u"B9"_s});
    ASSERT_TRUE(pass());

    EXPECT_EQ(state(sub, u"TableNo"_s), u"A01|大厅1号_2"_s);
    for (const QString& printer : {u"hot"_s, u"hot2"_s, u"hot3"_s}) {
        ASSERT_FALSE(printed(printer).isEmpty()) << printer.toStdString();
        EXPECT_TRUE(printed(printer)[0].contains(u"大厅1号_2"_s)) << printer.toStdString();
    }
    EXPECT_EQ(printed(u"hot2"_s).size(), 1);
    EXPECT_EQ(state(firstMove), u"Y"_s);
    EXPECT_EQ(state(secondMove), u"<gone>"_s);
    EXPECT_EQ(printed(u"hot"_s).size(), 2);
}

// SQL Server refuses a text longer than its column; the trigger does the same here.
TEST_F(PrintQueueTest, APrintedTicketEndsDoneWhenItsSuffixDoesNotFit) {
    sql(u"create trigger refuse_long_table before update of TableNo on Pos_u_PrintDish "
        "when length(new.TableNo) > 50 begin select raise(abort, 'truncated'); end"_s);
    const struct {
        QString tableNo, tempId, stored;
    } cases[] = {
        {u"A01|"_s + QString(46, u'x'), u"12"_s, u"A01|"_s + QString(46, u'x')},  // 50 bytes
        {u"A02|"_s + QString(22, u'厅'), u"3"_s, u"A02|"_s + QString(22, u'厅') + u"_3"_s},
        {u"A03|x"_s + QString(22, u'厅'), u"甲"_s, u"A03|x"_s + QString(22, u'厅') + u'_'},
    };
    std::vector<QString> ids;
    for (size_t i = 0; i < std::size(cases); ++i) {
        const QString bill = u"B%1"_s.arg(i);
        sql(u"insert into pos_u_table_temp values ('%1', '%2', '%3')"_s.arg(
            bill, cases[i].tableNo.left(3), cases[i].tempId));
        ids.push_back(queue({.tableNo = cases[i].tableNo, .billNo = bill}));
    }
    ASSERT_TRUE(pass());
    ASSERT_TRUE(pass());
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(state(ids[i]), u"Y"_s);
        EXPECT_EQ(state(ids[i], u"TableNo"_s), cases[i].stored);
    }
    EXPECT_EQ(printed(u"hot"_s).size(), 3) << "each printed once";
}

TEST_F(PrintQueueTest, ARefusedJobIsNotMarkedPrintedAndIsTriedAgain)
{
    const QString refused = queue({.printName = u"no/such/printer"_s, .printName2 = u"hot2"_s});
    ASSERT_TRUE(pass());
    EXPECT_EQ(state(refused), u"N"_s);
    EXPECT_TRUE(printed(u"hot2"_s).isEmpty()) << "nothing printed anywhere until the first printer takes it";
    EXPECT_EQ(traceLines(), QStringList{u"打印机状态异常!"_s});

    sql(u"update Pos_u_PrintDish set PrintName = 'hot' where PrintId = '"_s + refused + u"'"_s);
    ASSERT_TRUE(pass());
    EXPECT_EQ(state(refused), u"Y"_s);
    EXPECT_EQ(printed(u"hot"_s).size(), 1);
    EXPECT_EQ(printed(u"hot2"_s).size(), 1);
}

TEST_F(PrintQueueTest, AStopDuringThePassEndsItAtTheNextCheck)
{
    const QString ticket = queue({});
    EngineTest::state.stop();
    EXPECT_FALSE(pass());
    EXPECT_EQ(state(ticket), u"N"_s);
    EXPECT_TRUE(printed(u"hot"_s).isEmpty());
}

TEST(TicketVariables, SplitTheTablesAndFormatTheAmounts)
{
    const QString longName(60, u'桌');
    const TicketVariables v = ticketVariables(u"A01|"_s + longName, u"V2|芙蓉厅"_s, u"点菜单"_s, u"热菜"_s,
                                              u"B1"_s, QDateTime(QDate(2026, 12, 11), QTime(9, 5)),
                                              58.5, 40.25, u"小王"_s, u"2"_s);
    const QList<std::pair<QString, QString>> expected = {
        {u"桌号"_s, u"A01"_s},       {u"桌名"_s, QString(50, u'桌') + u"_2"_s},
        {u"旧桌号"_s, u"V2"_s},      {u"旧桌名"_s, u"芙蓉厅"_s},
        {u"标题"_s, u"点菜单"_s},    {u"厨打名称"_s, u"热菜"_s},
        {u"单号"_s, u"B1"_s},        {u"开单时间"_s, u"2026-12-11 09:05:00"_s},
        {u"合计金额"_s, u"58.5"_s},  {u"实收金额"_s, u"40.25"_s},
        {u"赠送金额"_s, u"18.25"_s}, {u"操作员"_s, u"小王"_s},
    };
    EXPECT_EQ(v.values, expected);

    const TicketVariables noBar = ticketVariables(u"外卖"_s, QString(), u"点菜单"_s, {}, {}, {}, 0, 0, {}, {});
    EXPECT_EQ(noBar.values[0].second, QString());
    EXPECT_EQ(noBar.values[1].second, u"外卖"_s);
    EXPECT_NE(noBar.values[7].first, u"开单时间"_s) << "not set without an order time";
    EXPECT_EQ(expressionText(u"it's"_s), u"'it''s'"_s);
}

}  // namespace
