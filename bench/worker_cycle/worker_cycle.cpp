// The working time of one print worker cycle without its pause, on a SQLite POS
// database with 20 stations and N waiting dish lines (N = 100, 1,000, 10,000 unless
// given as arguments). Prints the cycle time and the time per dish line taken, as
// wall-clock time and as the CPU time of the working thread (steadier on a busy
// machine; the gap between the two is mostly waiting for the disk).
//   build/bin/bench_worker_cycle [N ...]

#include "engine/print_worker.h"
#include "engine/queue_schema.h"
#include "platform/database.h"
#include "platform/sql_dialect.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

double threadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return static_cast<double>(t.tv_sec) * 1e3 + static_cast<double>(t.tv_nsec) / 1e6;
}

QString readFile(const QString& path)
{
    QFile f(path);
    f.open(QIODevice::ReadOnly);
    return QString::fromUtf8(f.readAll());
}

// 20 stations with every grouping rule, 60 dishes each routed to one station for
// order tickets and another for output tickets, lines in bills of eight at 40 tables.
QString restaurant(int lines, const QDateTime& now)
{
    QString sql = u"insert into pos_sys_parameter values ('print_mode','3','');"
                  "insert into pos_bt_dish_unit values ('01','份');"
                  "insert into pos_sys_operator values ('1','小王');"_s;
    for (int s = 1; s <= 20; ++s) {
        sql += u"insert into pos_bt_dish_cookprint (int_id, vch_name, cookprint_type, int_printer, vch_printer1) values (%1, '厨房%1', %2, 1, 'p%1');"_s
                   .arg(s)
                   .arg((s - 1) % 4 + 1);
    }
    for (int t = 1; t <= 40; ++t)
        sql += u"insert into pos_bt_table values ('T%1', '%1号桌', '01', 4);"_s.arg(t);
    for (int d = 1; d <= 60; ++d) {
        sql += u"insert into pos_bt_dish (ch_dishno, vch_dishname, ch_dish_typeno, ch_dish_seriesno, ch_dish_unitno) values ('D%1', '菜品%1', '%2', '%3', '01');"_s
                   .arg(d)
                   .arg(d % 6)
                   .arg(d % 4);
        sql += u"insert into pos_cp_dish_print (ch_dishno, ch_printflag, int_print_id, ch_outflag, int_outprint_id1) values ('D%1', 'Y', %2, 'Y', %3);"_s
                   .arg(d)
                   .arg(d % 20 + 1)
                   .arg((d + 7) % 20 + 1);
    }
    const QString when = formatDateTime(now.addSecs(-300));
    sql += u"begin;"_s;
    for (int i = 0; i < lines; ++i) {
        sql += u"insert into pos_u_orderdish (ch_billno, ch_tableno, ch_dishno, num_num, num_price, dt_operdate, dt_dis_operdate, vch_operid, ch_printflag, ch_outflag1) values ('B%1', 'T%2', 'D%3', 1, 10, '%4', '%4', '1', 'N', 'N');"_s
                   .arg(i / 8)
                   .arg(i / 8 % 40 + 1)
                   .arg(i * 7 % 60 + 1)
                   .arg(when);
    }
    return sql + u"commit;"_s;
}

}  // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty())
        sizes = {100, 1000, 10000};

    std::printf("%8s %10s %12s %15s %10s %15s\n", "lines", "tickets", "cycle (ms)", "per line (ms)",
                "CPU (ms)", "CPU/line (ms)");
    for (int lines : sizes) {
        QTemporaryDir dir;
        const QString home = dir.path() + u'/';
        const QString file = home + u"pos.db"_s;
        ManualClock clock(QDateTime::currentDateTime());
        if (!runSqliteScript(file, readFile(QStringLiteral(COOKHUB_SQL_DIR "/pos_schema.sql"))) ||
            !runSqliteScript(file, restaurant(lines, clock.now())))
            return 1;
        const QString name = u"bench%1"_s.arg(lines);
        if (!openConnection(name, u"Provider=SQLite;Initial Catalog=pos.db"_s, home, 5))
            return 1;
        {
            QSqlDatabase db = QSqlDatabase::database(name);
            QueueSchema(db, SqlDialect::sqlite()).update(false, u"1.0.1.21"_s);
            ServiceState state;
            state.appDir = home;
            state.beginRun();
            TPrintThread worker(state, clock, state.currentToken(), db, name);

            QElapsedTimer timer;
            const double cpuStart = threadCpuMs();
            timer.start();
            for (IntakePass pass : {IntakePass::AreaDC, IntakePass::DC, IntakePass::AreaCP, IntakePass::CP})
                worker.runPass(db, pass);
            const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;
            const double cpu = threadCpuMs() - cpuStart;

            QSqlQuery q(db);
            q.exec(u"select count(*) from Pos_u_PrintDish"_s);
            const int tickets = q.next() ? q.value(0).toInt() : 0;
            q.exec(u"select count(*) from pos_u_orderdish where ch_printflag = 'Y' and ch_outflag1 = 'Y'"_s);
            const int taken = q.next() ? q.value(0).toInt() : 0;
            if (taken != lines) {
                std::fprintf(stderr, "only %d of %d lines were taken\n", taken, lines);
                return 1;
            }
            // Each line is taken twice: once for its order ticket, once for its output ticket.
            std::printf("%8d %10d %12.1f %15.4f %10.1f %15.4f\n", lines, tickets, ms,
                        ms / (2.0 * lines), cpu, cpu / (2.0 * lines));
        }
        QSqlDatabase::removeDatabase(name);
    }
    return 0;
}
