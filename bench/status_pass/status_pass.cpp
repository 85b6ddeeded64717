// The status monitor's pass with the real network limits: N stations (10 unless given)
// whose printers all answer, all answer with their paper nearly out, all accept and
// never answer, or all refuse, on simulated printers on 127.0.0.1. Prints the time of
// one pass and per station for each kind.
//   build/bin/bench_status_pass [N]

#include "platform/database.h"
#include "status/print_state_thread.h"

#include "net_printer_sim.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <vector>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

class QuietBalloon final : public BalloonNotes {
  public:
    void show(const QString&, int) override {}
};

QString readAll(const QString& path) {
    QFile file(path);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int stations = argc > 1 ? std::max(1, std::atoi(argv[1])) : 10;

    QTemporaryDir dir;
    const QString file = dir.path() + u"/pos.db"_s;
    if (!runSqliteScript(file, readAll(QStringLiteral(COOKHUB_SQL_DIR "/pos_schema.sql")))) {
        std::fprintf(stderr, "cannot make the database\n");
        return 1;
    }
    const QString text = u"Provider=SQLite;Initial Catalog="_s + file;
    if (!openConnection(u"bench"_s, text, dir.path() + u'/', 10)) {
        std::fprintf(stderr, "cannot open the database\n");
        return 1;
    }
    const QSqlDatabase db = QSqlDatabase::database(u"bench"_s);

    struct Kind {
        const char* name;
        bool silent;
        bool away;
        netprinter::PaperState paper;
    };
    const Kind kinds[] = {{"answer", false, false, {}},
                          {"answer, paper near end", false, false, {false, false, true}},
                          {"accept, never answer", true, false, {}},
                          {"refuse", false, true, {}}};
    std::printf("status pass over %d stations, limits 1000 ms connect, 500 ms answer\n", stations);
    for (const Kind& kind : kinds) {
        std::vector<std::unique_ptr<netprinter::NetPrinterSim>> printers;
        QSqlQuery q(db);
        q.exec(u"delete from pos_bt_dish_cookprint"_s);
        for (int i = 0; i < stations; ++i) {
            auto printer = std::make_unique<netprinter::NetPrinterSim>();
            printer->setSilent(kind.silent);
            printer->setPaper(kind.paper);
            if (kind.away)
                printer->goAway();
            q.exec(
                u"insert into pos_bt_dish_cookprint (int_id, vch_printer1, vch_PrinterIp) values (%1, 'p%1', '%2')"_s
                    .arg(i + 1)
                    .arg(QString::fromStdString(printer->address())));
            printers.push_back(std::move(printer));
        }
        ServiceState state;
        ManualClock clock;
        QuietBalloon balloon;
        TPrintStateThread monitor(state, clock, state.beginRun(), u"bench"_s, {}, balloon);
        QElapsedTimer timer;
        timer.start();
        monitor.StatusPass(db);
        const qint64 ms = timer.elapsed();
        std::printf("  %-24s %6lld ms per pass, %7.1f ms per station\n", kind.name,
                    static_cast<long long>(ms), double(ms) / stations);
    }
    return 0;
}
