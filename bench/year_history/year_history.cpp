// What a year of history costs the print service: the same restaurant on an empty
// database and on one holding a year of printed tickets and ordered dishes (700,000
// tickets, 2,800,000 ticket lines, 2,000,000 order lines at scale 1), and once more
// without the queue's indexes. Prints, for each, the time of an idle worker cycle
// (without its pause), of printing one ticket to a file printer, and of the day
// counts of the status bar.
//   QT_QPA_PLATFORM=offscreen build/bin/bench_year_history [scale]

#include "year_database.h"

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
using cookhub::bench::exec;

namespace {

struct Figures {
    double idleCycle = 0, printOne = 0, dayCounts = 0;
};

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
        const QString name = u"bench%1"_s.arg(db);
        if (!bench::makeBenchDatabase(home, u"pos%1.db"_s.arg(db), name, db == 1, now, scale))
            return 1;
        {
            QSqlDatabase database = QSqlDatabase::database(name);
            if (!exec(database, u"update pos_bt_dish_cookprint set sPath = '[80格式]'"_s))
                return 1;
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
