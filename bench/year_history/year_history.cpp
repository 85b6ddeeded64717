// What a year of history costs the print service: the same restaurant on an empty
// database and on one holding a year of printed tickets and ordered dishes (700,000
// tickets, 2,800,000 ticket lines, 2,000,000 order lines at scale 1), and once more
// without the queue's indexes. Prints, for each, the time of an idle worker cycle
// (without its pause), of printing one ticket to a file printer, and of the day
// counts of the status bar.
//   QT_QPA_PLATFORM=offscreen build/bin/bench_year_history [scale]

#include "engine/day_counts.h"
#include "engine/print_queue.h"
#include "engine/print_worker.h"
#include "engine/printer_output.h"
#include "engine/queue_schema.h"
#include "platform/database.h"
#include "platform/sql_dialect.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimeZone>

#include <cstdio>
#include <functional>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

struct Figures {
    double idleCycle = 0, printOne = 0, dayCounts = 0;
};

QString readFile(const QString& path) {
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

bool exec(const QSqlDatabase& db, const QString& sql) {
    QSqlQuery q(db);
    if (q.exec(sql))
        return true;
    std::fprintf(stderr, "%s: %s\n", qPrintable(sql.left(120)), qPrintable(q.lastError().text()));
    return false;
}

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

double averageMs(int times, const std::function<void()>& work) {
    QElapsedTimer timer;
    timer.start();
    for (int i = 0; i < times; ++i) work();
    return static_cast<double>(timer.nsecsElapsed()) / 1e6 / times;
}

bool measure(const QString& home, const QString& connection, Figures* figures) {
    QSqlDatabase db = QSqlDatabase::database(connection);
    ManualClock clock(QDateTime(QDate::currentDate(), QTime(12, 0)));
    ServiceState state;
    state.appDir = home;
    state.beginRun();
    TPrintThread worker(state, clock, state.currentToken(), db, connection);

    // Idle: nothing ordered, nothing waiting. The first cycle warms the caches.
    worker.runCycle(db);
    figures->idleCycle = averageMs(10, [&] { worker.runCycle(db); });

    // One waiting ticket at a time, printed through the shipped template.
    PrinterOutput output;
    report::Report report;
    const RunToken token = state.currentToken();
    PrintPassContext context{db, worker.params(), clock, token, state, output, report, {}};
    static int serial = 0;
    double printing = 0;
    const int printed = 10;
    // The first ticket loads the template and the fonts: not counted.
    for (int i = -1; i < printed; ++i) {
        const QString id = u"{NEW-%1}"_s.arg(++serial);
        const QString when = formatDateTime(clock.now().addSecs(-60));
        if (!exec(
                db,
                u"insert into Pos_u_PrintDish (PrintId, PrintTime, PrintName, TableNo, Title, BillNo, sPath, dTime, AllMoney, InMoney, IsPrint, vch_operator, vch_Name) values ('%1', '%2', 'p1', 'T1|1号桌', '点菜单', 'N%3', '[80格式]', '%2', 44, 40, 'N', '小王', '厨房1')"_s
                    .arg(id, when)
                    .arg(serial)) ||
            !exec(
                db,
                u"insert into Pos_u_PrintDishChild (ParentId, ch_dishno, DishName, DishUnit, Nums, num_price) values ('%1', 'D1', '菜品1', '份', 2, 22)"_s
                    .arg(id)))
            return false;
        const double ms = averageMs(1, [&] { PrintQueue(context); });
        if (i >= 0)
            printing += ms;
        QSqlQuery q(db);
        q.exec(u"select IsPrint from Pos_u_PrintDish where PrintId = '%1'"_s.arg(id));
        if (!q.next() || q.value(0).toString() != u"Y"_s) {
            std::fprintf(stderr, "ticket %s was not printed\n", qPrintable(id));
            return false;
        }
    }
    figures->printOne = printing / printed;

    const QString start = formatDateTime(QDateTime(clock.now().date().addDays(-1), QTime(23, 0)));
    countDay(db, start, formatDateTime(clock.now()));
    figures->dayCounts = averageMs(10, [&] { countDay(db, start, formatDateTime(clock.now())); });
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    if (scale <= 0) {
        std::fprintf(stderr, "usage: bench_year_history [scale > 0]\n");
        return 2;
    }

    QTemporaryDir dir;
    const QString home = dir.path() + u'/';
    qputenv("COOKHUB_PRINTER_DIR", QFile::encodeName(home + u"printers"_s));
    const QString from = QStringLiteral(COOKHUB_REPORTS_SOURCE_DIR "/80格式");
    QDir().mkpath(home + u"Reports/80格式"_s);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        QFile::copy(from + u'/' + name, home + u"Reports/80格式/"_s + name);

    Figures figures[3];
    const char* labels[3] = {"empty", "year", "year, no queue indexes"};
    const QDateTime now(QDate::currentDate(), QTime(12, 0));
    for (int db = 0; db < 2; ++db) {
        const QString file = u"pos%1.db"_s.arg(db);
        QString error;
        if (!runSqliteScript(home + file,
                             readFile(QStringLiteral(COOKHUB_SQL_DIR "/pos_schema.sql")), &error) ||
            !runSqliteScript(home + file, restaurant(), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        const QString name = u"bench%1"_s.arg(db);
        if (!openConnection(name, u"Provider=SQLite;Initial Catalog="_s + file, home, 5))
            return 1;
        {
            QSqlDatabase database = QSqlDatabase::database(name);
            QueueSchema(database, SqlDialect::sqlite()).update(false, u"1.0.1.21"_s);
            if (!exec(database, u"update pos_bt_dish_cookprint set sPath = '[80格式]'"_s))
                return 1;
            if (db == 1) {
                QElapsedTimer timer;
                timer.start();
                if (!addHistory(database, now, scale))
                    return 1;
                exec(database, u"analyze"_s);
                std::printf(
                    "year of history at scale %g: %lld tickets, %lld ticket lines, %lld order "
                    "lines (built in %.0f s)\n",
                    scale, static_cast<long long>(700000 * scale),
                    static_cast<long long>(4 * static_cast<qint64>(700000 * scale)),
                    static_cast<long long>(2000000 * scale), timer.elapsed() / 1000.0);
            }
            if (!measure(home, name, &figures[db]))
                return 1;
            if (db == 1) {
                for (const char* index : {"IX_Pos_u_PrintDishChild_ParentId",
                                          "IX_Pos_u_PrintDish_Waiting", "IX_Pos_u_PrintDish_State",
                                          "IX_Pos_u_PrintDish_dTime", "IX_Pos_u_PrintDish_BillNo"})
                    exec(database, u"drop index "_s + QString::fromLatin1(index));
                if (!measure(home, name, &figures[2]))
                    return 1;
            }
        }
        QSqlDatabase::removeDatabase(name);
    }

    std::printf("%-24s %12s %12s %12s %14s\n", "database", "idle cycle", "print one", "day counts",
                "idle CPU (3 s)");
    std::printf("%-24s %12s %12s %12s %14s\n", "", "(ms)", "ticket (ms)", "(ms)", "(% of a core)");
    for (int i = 0; i < 3; ++i) {
        std::printf("%-24s %12.2f %12.2f %12.2f %14.2f\n", labels[i], figures[i].idleCycle,
                    figures[i].printOne, figures[i].dayCounts,
                    100.0 * figures[i].idleCycle / (figures[i].idleCycle + 3000.0));
    }
    return 0;
}
