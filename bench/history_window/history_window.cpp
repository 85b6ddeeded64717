// What the print history costs on an empty database and on a year of history (the
// database bench_year_history builds: 700,000 tickets and 2,800,000 ticket lines at
// scale 1): opening the list with its first page and the first ticket's dishes, each
// filter, scrolling through the list page by page and moving through its tickets, and
// the process's memory. The design's statement, which groups the whole line table
// before its first row, is timed beside it.
//   build/bin/bench_history_window [scale]

#include "history/history_query.h"

#include <QElapsedTimer>
#include <QFile>

#include <cstdio>

#include "year_history/year_database.h"

#include <QGuiApplication>
#include <QSqlQuery>
#include <QTemporaryDir>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

long memoryKb(const char* field) {
    QFile status(u"/proc/self/status"_s);
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(qstrlen(field)).trimmed().split(' ').value(0).toLong();
    }
    return -1;
}

double ms(const QElapsedTimer& t) {
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
}

void report(const char* what, double value, const char* unit = "ms") {
    std::printf("  %-46s %10.2f %s\n", what, value, unit);
}

bool measureHistory(const QString& home, const QString& connection) {
    QSqlDatabase db = QSqlDatabase::database(connection);
    QElapsedTimer t;

    t.start();
    QSqlQuery design(db);
    if (!design.exec(
            u" select a.*,b.Nums from  Pos_u_PrintDish a  left join (select Count(*) as Nums,ParentId from Pos_u_PrintDishChild  group by ParentId) b on a.PrintId=b.ParentId order by OrderId desc "_s))
        return false;
    design.next();
    report("design's list, to its first row", ms(t));
    design.finish();

    t.start();
    HistoryQuery history(db, home);
    if (!history.open()) {
        std::fprintf(stderr, "%s\n", qPrintable(history.lastError()));
        return false;
    }
    const int firstPage = history.tickets().rowCount();
    report("open: list, first page, first dishes, printers", ms(t));
    std::printf("  %-46s %10d rows, %d dishes\n", "  first page", firstPage,
                history.dishes().rowCount());
    report("  memory after opening (VmRSS)", memoryKb("VmRSS:") / 1024.0, "MB");

    // Scrolling: the grid asks for the next page as its end comes into view.
    t.start();
    int pages = 0;
    while (history.tickets().canFetchMore() && pages < 100) {
        history.tickets().fetchMore();
        ++pages;
    }
    if (pages > 0)
        report("scroll: one more page of the list", ms(t) / pages);
    std::printf("  %-46s %10d rows\n", "  rows read after scrolling", history.tickets().rowCount());

    const int moves = std::min(200, history.tickets().rowCount());
    t.start();
    for (int row = 0; row < moves; ++row) history.showDishes(row);
    if (moves > 0)
        report("move to a ticket (its dishes)", ms(t) / moves);

    HistoryFilters base = HistoryFilters::starting(QDate::currentDate());
    struct Filter {
        const char* name;
        std::function<void(HistoryFilters&)> set;
    };
    const Filter filters[] = {
        {"filter: type 出品单 (no ticket matches)",
         [](HistoryFilters& f) { f.type = u"出品单"_s; }},
        {"filter: bill H12345",
         [](HistoryFilters& f) {
             f.billOn = true;
             f.bill = u"H12345"_s;
         }},
        {"filter: table T7",
         [](HistoryFilters& f) {
             f.tableOn = true;
             f.table = u"T7|"_s;
         }},
        {"filter: yesterday's tickets",
         [](HistoryFilters& f) {
             f.timeOn = true;
             f.from = f.from.addDays(-1);
             f.to = f.to.addDays(-1);
         }},
        {"filter: printer p3, printed",
         [](HistoryFilters& f) {
             f.printerOn = true;
             f.printer = u"p3"_s;
             f.stateOn = true;
             f.state = u"已打印"_s;
         }},
    };
    for (const Filter& filter : filters) {
        HistoryFilters f = base;
        filter.set(f);
        t.start();
        if (!history.query(f))
            return false;
        const int rows = history.tickets().rowCount();
        report(filter.name, ms(t));
        std::printf("  %-46s %10d rows\n", "  first page", rows);
    }
    report("peak memory of the process (VmHWM)", memoryKb("VmHWM:") / 1024.0, "MB");
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const double scale = argc > 1 ? std::atof(argv[1]) : 1.0;
    if (scale <= 0) {
        std::fprintf(stderr, "usage: bench_history_window [scale > 0]\n");
        return 2;
    }
    QTemporaryDir dir;
    const QString home = dir.path() + u'/';
    const QDateTime now(QDate::currentDate(), QTime(12, 0));
    for (int db = 0; db < 2; ++db) {
        const QString name = u"history%1"_s.arg(db);
        if (!bench::makeBenchDatabase(home, u"pos%1.db"_s.arg(db), name, db == 1, now, scale))
            return 1;
        {
            std::printf("%s database\n", db == 0 ? "empty" : "year of history");
            if (!measureHistory(home, name))
                return 1;
        }
        QSqlDatabase::removeDatabase(name);
    }
    return 0;
}
