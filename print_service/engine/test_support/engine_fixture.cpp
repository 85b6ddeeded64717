#include "engine_fixture.h"

#include "engine/queue_schema.h"
#include "engine/test_support/thread_guard.h"
#include "platform/database.h"
#include "platform/gbk_text.h"
#include "platform/ini_file.h"
#include "platform/sql_dialect.h"

#include <QDir>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace cookhub::test {

QStringList QueuedTicket::dishNames() const
{
    QStringList names;
    for (const QueuedLine& line : lines)
        names << line.dishName;
    return names;
}

void EngineTest::SetUp()
{
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    connection = QString::fromLatin1(info->test_suite_name()) + u'.' + QString::fromLatin1(info->name());
    ASSERT_TRUE(openConnection(connection, home.connectionString(), home.appDir(), 5));
    db = QSqlDatabase::database(connection);
    QueueSchema(db, SqlDialect::sqlite()).update(false, u"1.0.1.21"_s);
    state.appDir = home.appDir();
    QDir().mkpath(home.appDir() + u"Reports"_s);
    sql(u"insert into pos_sys_parameter values ('print_mode', '3', '')"_s);
    sql(u"insert into pos_sys_operator values ('1', '小王')"_s);
    sql(u"insert into pos_bt_dish_unit values ('01', '份')"_s);
    sql(u"insert into pos_bt_floor values ('01', '大厅')"_s);
    sql(u"insert into pos_bt_table values ('T1', '一号桌', '01', 4), ('T2', '二号桌', '01', 4), ('V1', '包间', '02', 8)"_s);
    sql(u"insert into pos_bt_dish_spec values ('S1', '大份'), ('LONG', '特别特别辣的做法少油')"_s);
    state.beginRun();
}

void EngineTest::TearDown()
{
    // A test that failed with its worker still running: end the run, then wait.
    state.stop();
    endThread(worker);
    db = QSqlDatabase();
    closeConnection(connection);
    QSqlDatabase::removeDatabase(connection);
}

bool EngineTest::sql(const QString& statement)
{
    QSqlQuery q(db);
    const bool ok = q.exec(SqlDialect::sqlite().adapt(statement));
    EXPECT_TRUE(ok) << statement.toStdString() << ": " << q.lastError().text().toStdString();
    return ok;
}

void EngineTest::station(int id, const QString& name, int type, int printers, const QString& printer)
{
    const QString p = printer.isEmpty() ? u"printer-%1"_s.arg(id) : printer;
    sql(u"insert into pos_bt_dish_cookprint (int_id, vch_name, cookprint_type, int_printer, vch_printer1, vch_printer2, vch_printer3, bak_cookprint, vch_PrinterIp, sPath) values (%1, '%2', %3, %4, '%5', '%5-2', '%5-3', 'spare', '', '[80格式]')"_s
            .arg(id)
            .arg(name)
            .arg(type)
            .arg(printers)
            .arg(p));
}

void EngineTest::dish(const QString& no, const QString& name, const QString& type, const QString& series)
{
    sql(u"insert into pos_bt_dish (ch_dishno, vch_dishname, ch_dish_typeno, ch_dish_seriesno, ch_dish_unitno) values ('%1', '%2', '%3', '%4', '01')"_s
            .arg(no, name, type, series));
}

void EngineTest::route(const QString& dish, int orderStation, int outputStation, int orderArea, int outputArea)
{
    auto id = [](int v) { return v ? QString::number(v) : u"NULL"_s; };
    auto yes = [](int v) { return v ? u"'Y'"_s : u"'N'"_s; };
    sql(u"insert into pos_cp_dish_print values ('%1', %2, %3, %4, %5, %6, %7, %8, %9)"_s
            .arg(dish, yes(orderStation), id(orderStation), yes(outputStation), id(outputStation),
                 yes(orderArea), id(orderArea), yes(outputArea), id(outputArea)));
}

int EngineTest::order(const OrderLine& l)
{
    const QString when = formatDateTime(clock.now().addSecs(-60LL * l.minutesAgo));
    QSqlQuery q(db);
    q.prepare(u"insert into pos_u_orderdish (ch_billno, ch_tableno, ch_oldtableno, ch_dishno, ch_dish_barcode, num_num, num_price, num_addprice, int_discount, int_discount2, ch_presentflag, ch_cancelflag, ch_togono, vch_print_memo, vch_reason, dt_operdate, dt_dis_operdate, vch_operid, ch_printflag, ch_outflag1, ch_outflag2) values (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, 'N')"_s);
    for (const QVariant& v : {QVariant(l.bill), QVariant(l.table), QVariant(l.oldTable), QVariant(l.dish),
                              QVariant(l.barcode), QVariant(l.num), QVariant(l.price), QVariant(l.addPrice),
                              QVariant(l.discount), QVariant(l.discount2), QVariant(l.present),
                              QVariant(l.cancel), QVariant(l.togo), QVariant(l.memo), QVariant(l.reason),
                              QVariant(when), QVariant(when), QVariant(l.operId), QVariant(l.printFlag),
                              QVariant(l.outFlag)})
        q.addBindValue(v);
    EXPECT_TRUE(q.exec()) << q.lastError().text().toStdString();
    return q.lastInsertId().toInt();
}

QString EngineTest::flag(int flowId, const QString& column)
{
    QSqlQuery q(db);
    q.exec(u"select %1 from pos_u_orderdish where int_flowid = %2"_s.arg(column).arg(flowId));
    return q.next() ? q.value(0).toString() : u"<none>"_s;
}

std::vector<QueuedTicket> EngineTest::tickets()
{
    std::vector<QueuedTicket> result;
    QSqlQuery h(db);
    EXPECT_TRUE(h.exec(u"select * from Pos_u_PrintDish order by OrderId"_s));
    while (h.next()) {
        QueuedTicket t;
        t.printId = h.value(u"PrintId"_s).toString();
        t.title = h.value(u"Title"_s).toString();
        t.tableNo = h.value(u"TableNo"_s).toString();
        t.oldTableNo = h.value(u"OldTableNo"_s).toString();
        t.oldTableNoNull = h.value(u"OldTableNo"_s).isNull();
        t.billNo = h.value(u"BillNo"_s).toString();
        t.station = h.value(u"vch_Name"_s).toString();
        t.printName = h.value(u"PrintName"_s).toString();
        t.printName2 = h.value(u"PrintName2"_s).toString();
        t.printName2Null = h.value(u"PrintName2"_s).isNull();
        t.printName3 = h.value(u"PrintName3"_s).toString();
        t.printName3Null = h.value(u"PrintName3"_s).isNull();
        t.isPrint = h.value(u"IsPrint"_s).toString();
        t.sPath = h.value(u"sPath"_s).toString();
        t.bakPrinter = h.value(u"BakPrinter"_s).toString();
        t.op = h.value(u"vch_operator"_s).toString();
        t.allMoney = h.value(u"AllMoney"_s).toDouble();
        t.inMoney = h.value(u"InMoney"_s).toDouble();
        QSqlQuery c(db);
        c.exec(u"select * from Pos_u_PrintDishChild where ParentId = '%1' order by PrintId"_s.arg(t.printId));
        while (c.next()) {
            QueuedLine l;
            l.dishName = c.value(u"DishName"_s).toString();
            l.unit = c.value(u"DishUnit"_s).toString();
            l.memo = c.value(u"vch_print_memo"_s).toString();
            l.reason = c.value(u"vch_reason"_s).toString();
            l.spec = c.value(u"ch_dish_barcode"_s).isNull() ? u"<null>"_s : c.value(u"ch_dish_barcode"_s).toString();
            l.oldTableNo = c.value(u"ch_oldtableno"_s).toString();
            l.oldTableName = c.value(u"ch_oldtableName"_s).toString();
            l.dishNo = c.value(u"ch_dishno"_s).toString();
            l.nums = c.value(u"Nums"_s).toDouble();
            l.price = c.value(u"num_price"_s).toDouble();
            l.addPrice = c.value(u"num_AddPrice"_s).toDouble();
            t.lines.push_back(l);
        }
        result.push_back(std::move(t));
    }
    return result;
}

int EngineTest::childRows()
{
    QSqlQuery q(db);
    q.exec(u"select count(*) from Pos_u_PrintDishChild"_s);
    return q.next() ? q.value(0).toInt() : -1;
}

QStringList EngineTest::traceLines() const
{
    QFile file(home.appDir() + u"CookhubTrace.txt"_s);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = decodeGbk(file.readAll()).split(u"\r\n"_s, Qt::SkipEmptyParts);
    for (QString& line : lines)
        line = line.mid(19 + 6);  // date-time and six spaces
    return lines;
}

void EngineTest::writeSetting(const QString& key, const QString& value)
{
    WriteIniString(home.appDir() + u"Reports\\Print.ini"_s, u"PrintParam"_s, key, value);
}

std::unique_ptr<TPrintThread> EngineTest::makeWorker()
{
    return std::make_unique<TPrintThread>(state, clock, state.currentToken(), db, connection);
}

void EngineTest::runPass(IntakePass pass)
{
    if (!worker)
        worker = makeWorker();
    worker->runPass(db, pass);
}

void EngineTest::runAllPasses()
{
    for (IntakePass pass : {IntakePass::AreaDC, IntakePass::DC, IntakePass::AreaCP, IntakePass::CP})
        runPass(pass);
}

}  // namespace cookhub::test
