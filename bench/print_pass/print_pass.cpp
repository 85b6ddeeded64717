// The printing pass's own time per ticket with file printers: N waiting tickets of
// six dishes each (N = 100 unless given) printed from a SQLite queue through the
// shipped 80 mm templates, each copy written as PDF and text.
//   QT_QPA_PLATFORM=offscreen build/bin/bench_print_pass [N]

#include "engine/print_queue.h"
#include "engine/printer_output.h"
#include "engine/queue_schema.h"
#include "platform/database.h"
#include "platform/sql_dialect.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

using namespace Qt::StringLiterals;
using namespace cookhub;

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const int tickets = argc > 1 ? std::atoi(argv[1]) : 100;

    QTemporaryDir dir;
    const QString home = dir.path() + u'/';
    qputenv("COOKHUB_PRINTER_DIR", QFile::encodeName(home + u"printers"_s));
    const QString from = QStringLiteral(COOKHUB_REPORTS_SOURCE_DIR "/80格式");
    QDir().mkpath(home + u"Reports/80格式"_s);
    for (const QString& name : QDir(from).entryList(QDir::Files))
        QFile::copy(from + u'/' + name, home + u"Reports/80格式/"_s + name);

    QFile schema(QStringLiteral(COOKHUB_SQL_DIR "/pos_schema.sql"));
    schema.open(QIODevice::ReadOnly);
    if (!runSqliteScript(home + u"pos.db"_s, QString::fromUtf8(schema.readAll())))
        return 1;
    if (!openConnection(u"bench"_s, u"Provider=SQLite;Initial Catalog=pos.db"_s, home, 5))
        return 1;
    QSqlDatabase db = QSqlDatabase::database(u"bench"_s);
    QueueSchema(db, SqlDialect::sqlite()).update(false, u"1.0.1.21"_s);

    const QString now = formatDateTime(QDateTime::currentDateTime().addSecs(-60));
    QString sql = u"begin;"_s;
    for (int t = 0; t < tickets; ++t) {
        sql += u"insert into Pos_u_PrintDish (PrintId, PrintTime, PrintName, TableNo, Title, BillNo, sPath, dTime, AllMoney, InMoney, IsPrint, vch_operator, vch_Name) values ('{T%1}', '%2', 'hot', 'A%1|大厅%1号', '点菜单', 'B%1', '[80格式]', '%2', 188, 170, 'N', '小王', '热菜厨房');"_s
                   .arg(t)
                   .arg(now);
        for (int d = 0; d < 6; ++d) {
            sql += u"insert into Pos_u_PrintDishChild (ParentId, ch_dishno, DishName, DishUnit, Nums, num_price, vch_print_memo) values ('{T%1}', 'D%2', '宫保鸡丁%2', '份', 1, 38, '%3');"_s
                       .arg(t)
                       .arg(d)
                       .arg(d % 2 ? u"少辣"_s : QString());
        }
    }
    runSqliteScript(home + u"pos.db"_s, sql + u"commit;"_s);

    ServiceState state;
    state.appDir = home;
    const RunToken token = state.beginRun();
    RunParameters params;
    ManualClock clock(QDateTime::currentDateTime());
    PrinterOutput output;
    report::Report report;
    PrintPassContext context{db, params, clock, token, state, output, report, {}};

    QElapsedTimer timer;
    timer.start();
    PrintQueue(context);
    const double ms = static_cast<double>(timer.nsecsElapsed()) / 1e6;

    QSqlQuery q(db);
    q.exec(u"select count(*) from Pos_u_PrintDish where IsPrint = 'Y'"_s);
    const int printed = q.next() ? q.value(0).toInt() : 0;
    if (printed != tickets) {
        std::fprintf(stderr, "only %d of %d tickets printed\n", printed, tickets);
        return 1;
    }
    std::printf("%d tickets printed to file printers in %.1f ms: %.2f ms per ticket\n", tickets, ms,
                ms / tickets);
    return 0;
}
