#include "print_state_thread.h"

#include "engine/day_counts.h"
#include "engine/sql_run.h"
#include "platform/database.h"

#include <QSqlQuery>
#include <QSqlRecord>

#include <set>
#include <vector>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

constexpr int kFirstWaitMilliseconds = 10000;
constexpr int kWaitSlice = 250;

struct StationRow {
    QString id;
    QString printer;
    QString address;
};

QString field(const QSqlQuery& query, const QString& name) {
    const int at = query.record().indexOf(name);  // field names match without case
    return at < 0 ? QString() : query.value(at).toString();
}

}  // namespace

QString conditionText(const printing::PaperCondition& condition) {
    QStringList parts;
    if (condition.coverOpen)
        parts << u"开盖"_s;
    if (condition.paperEnd)
        parts << u"缺纸"_s;
    else if (condition.paperNearEnd)
        parts << u"纸将尽"_s;
    return parts.join(u"、"_s);
}

TPrintStateThread::TPrintStateThread(ServiceState& state, Clock& clock, RunToken token,
                                     QString sourceConnection, MonitorSettings settings,
                                     BalloonNotes& balloon)
    : state_(state),
      clock_(clock),
      token_(token),
      sourceConnection_(std::move(sourceConnection)),
      settings_(std::move(settings)),
      balloon_(balloon) {}

bool TPrintStateThread::StatusPass(const QSqlDatabase& db) {
    if (settings_.printMode != u"1"_s && settings_.printMode != u"3"_s)
        return true;

    // The rows are read whole before the first printer is asked: a pass may take
    // seconds of network waits, and an open read would hold the worker's writes off.
    std::vector<StationRow> rows;
    {
        QSqlQuery stations(db);
        runSql(stations, u"select * from pos_bt_dish_cookprint"_s);
        while (stations.next())
            rows.push_back({field(stations, u"int_id"_s), field(stations, u"vch_printer1"_s),
                            field(stations, u"vch_PrinterIp"_s)});
    }

    QSqlQuery update(db);
    std::set<QString> named;  // printer names whose first row of this pass was seen
    for (const StationRow& row : rows) {
        if (!token_.running())
            return false;
        unsigned char buffer[4] = {};
        const QByteArray address = row.address.toUtf8();
        const int status =
            printing::NetGetStatus(address.constData(), buffer, sizeof buffer, settings_.limits);
        const bool fault = status < 0;
        const QString condition =
            fault ? QString() : conditionText(printing::paperCondition(buffer, sizeof buffer));
        // The panel shows the address of the first row of a name, as a lookup by name
        // would find it; the flag of the last row wins.
        const bool first = named.insert(row.printer).second;
        state_.printList.setStatus(row.printer, fault, condition,
                                   first ? std::optional<QString>(row.address) : std::nullopt);
        if (row.address.isEmpty())
            continue;
        if (fault)
            runSql(
                update,
                u"Update pos_bt_dish_cookprint    set vch_printyc=16,vch_printerzt='0' ,vch_printms='未检测到打印机，请尽快检查！' where int_id='"_s +
                    row.id + u"'"_s);
        else
            runSql(
                update,
                u"Update pos_bt_dish_cookprint    set vch_printyc=0,vch_printerzt='1' ,vch_printms='0' where int_id='"_s +
                    row.id + u"'"_s);
    }
    return true;
}

void TPrintStateThread::CountPass(const QSqlDatabase& db) {
    const QString s = state_.businessDayStart();
    const QString t = formatDateTime(clock_.now());
    const DayCounts counts = countDay(db, s, t);
    const int unprinted = counts.waitingTickets + counts.waitingDishes;
    const QString text = u" 已打印：%1;未打印：%2 "_s.arg(counts.printed).arg(unprinted);

    if (unprinted > state_.lastUnprintedCount) {
        // The note also names the printers that answer but cannot print well.
        QString note = text;
        for (const TPrintList& entry : state_.printList.snapshot())
            if (!entry.PrinterName.isEmpty() && !entry.Condition.isEmpty())
                note += u' ' + entry.PrinterName + u"："_s + entry.Condition;
        balloon_.show(note, settings_.pauseMilliseconds);
    }
    state_.lastUnprintedCount = unprinted;
    state_.setStatusText(text);
}

bool TPrintStateThread::runPass(const QSqlDatabase& db) {
    if (!StatusPass(db) || !token_.running())
        return false;
    CountPass(db);
    // The balloon shown above goes away by itself when this wait is over.
    return waitWhileRunning(settings_.pauseMilliseconds);
}

bool TPrintStateThread::waitWhileRunning(int milliseconds) {
    for (int left = milliseconds; left > 0; left -= kWaitSlice) {
        if (!token_.running())
            return false;
        clock_.sleep(std::min(left, kWaitSlice));
    }
    return token_.running();
}

void TPrintStateThread::run() {
    const QString name = sourceConnection_ + u"#monitor"_s + QString::number(token_.run());
    {
        const bool opened = openCloneConnection(sourceConnection_, name);
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        while (opened && token_.running()) {
            if (!waitWhileRunning(kFirstWaitMilliseconds))
                break;
            try {
                if (!runPass(db))
                    break;
            } catch (const std::exception&) {
                // A failed pass is dropped; the next one tries again.
            }
        }
    }
    closeConnection(name);
    QSqlDatabase::removeDatabase(name);
}

}  // namespace cookhub
