#include "year_database.h"

#include "engine/queue_schema.h"
#include "platform/database.h"
#include "platform/sql_dialect.h"

#include <QElapsedTimer>
#include <QFile>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimeZone>

#include <cstdio>

using namespace Qt::StringLiterals;

namespace cookhub::bench {

namespace {

QString readFile(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

}  // namespace

bool exec(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(sql.left(120)), qPrintable(q.lastError().text()));
    return false;
}

namespace {

// 20 stations with every grouping rule, 60 dishes routed to them, 40 tables.
QString restaurant() {
    QString sql =
        u"insert into pos_sys_parameter values ('print_mode','3','');"
        "insert into pos_bt_dish_unit values ('01','份');"
        "insert into pos_sys_operator values ('1','小王');"_s;
    for (int s = 1; s <= 20; ++s) {
        sql +=
            u"insert into pos_bt_dish_cookprint (int_id, vch_name, cookprint_type, int_printer, vch_printer1) values (%1, '厨房%1', %2, 1, 'p%1');"_s
                .arg(s)
                .arg((s - 1) % 4 + 1);
    }
    for (int t = 1; t <= 40; ++t)
        sql += u"insert into pos_bt_table values ('T%1', '%1号桌', '01', 4);"_s.arg(t);
    for (int d = 1; d <= 60; ++d) {
        sql +=
            u"insert into pos_bt_dish (ch_dishno, vch_dishname, ch_dish_typeno, ch_dish_seriesno, ch_dish_unitno) values ('D%1', '菜品%1', '%2', '%3', '01');"_s
                .arg(d)
                .arg(d % 6)
                .arg(d % 4);
        sql +=
            u"insert into pos_cp_dish_print (ch_dishno, ch_printflag, int_print_id, ch_outflag, int_outprint_id1) values ('D%1', 'Y', %2, 'Y', %3);"_s
                .arg(d)
                .arg(d % 20 + 1)
                .arg((d + 7) % 20 + 1);
    }
    return sql;
}

// A year of printed tickets, their lines and the order lines behind them, all done,
// spread evenly up to two hours before last night's day close at 23:00.
bool addHistory(const QSqlDatabase& db, const QDateTime& now, double scale) {
    const qint64 tickets = static_cast<qint64>(700000 * scale);
    const qint64 orders = static_cast<qint64>(2000000 * scale);
    const QDateTime close(now.date().addDays(-1), QTime(23, 0));
    // Epoch seconds of the wall-clock time, so that SQLite's datetime() writes it back.
    const qint64 end = QDateTime(close.date(), QTime(21, 0), Qt::UTC).toSecsSinceEpoch();
    const qint64 year = 365LL * 24 * 3600;
    auto series = [](qint64 n) {
        return u"with recursive n(i) as (select 1 union all select i + 1 from n where i < %1) "_s
            .arg(n);
    };
    QString days =
        u"insert into pos_u_day_sumup (dt_begin, dt_end) "_s + series(365) +
        u"select datetime(%1 - i * 86400 + 7200 - 50400, 'unixepoch'), datetime(%1 - i * 86400 + 7200, 'unixepoch') from n"_s
            .arg(end + 86400);
    return exec(db, u"begin"_s) &&
           exec(
               db,
               u"insert into Pos_u_PrintDish (PrintId, PrintTime, PrintName, TableNo, Title, BillNo, sPath, dTime, AllMoney, InMoney, IsPrint, vch_operator, vch_Name) "_s +
                   series(tickets) +
                   u"select '{H' || i || '}', datetime(%1 - (%2 - i) * %3 / %2, 'unixepoch'), 'p' || (i % 20 + 1), 'T' || (i % 40 + 1) || '|' || (i % 40 + 1) || '号桌', '点菜单', 'H' || (i / 4), '[80格式]', datetime(%1 - (%2 - i) * %3 / %2 - 60, 'unixepoch'), 88, 80, 'Y', '小王', '厨房' || (i % 20 + 1) from n"_s
                       .arg(end)
                       .arg(tickets)
                       .arg(year)) &&
           exec(db,
                u"insert into Pos_u_PrintDishChild (ParentId, ch_dishno, DishName, DishUnit, Nums, "
                u"num_price) "
                "select h.PrintId, 'D' || k, '菜品' || k, '份', 1, 22 from Pos_u_PrintDish h, "
                "(select 1 k union all select 2 union all select 3 union all select 4)"_s) &&
           exec(
               db,
               u"insert into pos_u_orderdish (ch_billno, ch_tableno, ch_dishno, num_num, num_price, dt_operdate, dt_dis_operdate, vch_operid, ch_printflag, ch_outflag1) "_s +
                   series(orders) +
                   u"select 'H' || (i / 8), 'T' || (i % 40 + 1), 'D' || (i % 60 + 1), 1, 22, datetime(%1 - (%2 - i) * %3 / %2, 'unixepoch'), datetime(%1 - (%2 - i) * %3 / %2, 'unixepoch'), '1', 'Y', 'Y' from n"_s
                       .arg(end)
                       .arg(orders)
                       .arg(year)) &&
           exec(db, days) && exec(db, u"commit"_s);
}

}  // namespace

bool makeBenchDatabase(const QString& home, const QString& file, const QString& connection,
                       bool history, const QDateTime& now, double scale) {
    QString error;
    if (!runSqliteScript(home + file, readFile(QStringLiteral(COOKHUB_SQL_DIR "/pos_schema.sql")),
                         &error) ||
        !runSqliteScript(home + file, restaurant(), &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return false;
    }
    if (!openConnection(connection, u"Provider=SQLite;Initial Catalog="_s + file, home, 5))
        return false;
    QSqlDatabase database = QSqlDatabase::database(connection);
    QueueSchema(database, SqlDialect::sqlite()).update(false, u"1.0.1.21"_s);
    if (!history)
        return true;
    QElapsedTimer timer;
    timer.start();
    if (!addHistory(database, now, scale))
        return false;
    exec(database, u"analyze"_s);
    std::printf(
        "year of history at scale %g: %lld tickets, %lld ticket lines, %lld order lines (built in "
        "%.0f s)\n",
        scale, static_cast<long long>(700000 * scale),
        static_cast<long long>(4 * static_cast<qint64>(700000 * scale)),
        static_cast<long long>(2000000 * scale), timer.elapsed() / 1000.0);
    return true;
}

}  // namespace cookhub::bench
