#include "cookhub_service.h"

#include "engine/day_counts.h"
#include "engine/queue_schema.h"
#include "engine/sql_run.h"
#include "platform/database.h"
#include "platform/ini_file.h"
#include "platform/sql_dialect.h"

#include <QSqlQuery>

#include <algorithm>
#include <exception>

using namespace Qt::StringLiterals;

namespace cookhub {

QString countsText(int printed, int unprinted) {
    return u" 已打印：%1;未打印：%2 "_s.arg(printed).arg(unprinted);
}

CookhubService::CookhubService(ServiceState& state, Clock& clock, ServiceThreads& threads,
                               QObject* parent)
    : QObject(parent), state_(state), clock_(clock), threads_(threads) {
    state_.lastUnprintedCount = 0;
    state_.beginRun();
}

CookhubService::~CookhubService() {
    for (const QString& name : {kMainConnection, kMonitorConnection, kWindowConnection})
        closeConnection(name);
}

BranchDbSettings CookhubService::connectionSettings() const {
    return BranchDbSettings::read(state_.appDir + state_.connectionIni);
}

bool CookhubService::connect() {
    return connect(connectionSettings().connectionString());
}

bool CookhubService::connect(const QString& connectionString) {
    return ConnectDatabase(clock_, connectionString, state_.appDir);
}

bool CookhubService::isConnected() {
    return isConnectionOpen(kMainConnection);
}

void CookhubService::setRunning(bool running) {
    running_ = running;
    Q_EMIT changed();
}

CookhubService::StartOutcome CookhubService::start() {
    try {
        state_.printList.clearNames();
        state_.printList.clear();
        if (!isConnected())
            return StartOutcome::NoConnection;
        clock_.sleep(3000);
        state_.reportsDir = resolveReportsDir(
            state_.appDir,
            ReadIniString(state_.appDir + state_.connectionIni, u"Rmf"_s, u"Directory"_s));
    } catch (const std::exception&) {
        // swallowed: the running state and the threads below still follow
    }
    setRunning(true);
    try {
        // Only the worker stamps the heartbeat (at once when it starts): a Start whose
        // worker could not be made leaves it stale, so the watchdog retries soon.
        const RunToken token = state_.beginRun();
        threads_.startWorker(token);
        failedStarts_ = 0;
        threads_.startMonitor(token);
    } catch (const std::exception&) {
        // Shown running already: the watchdog starts again after 3 s, then twice as
        // long after each further failure, at most the two minutes of a stalled
        // worker. Each Start blocks for its 3 s wait, so retrying at every tick against
        // a dead database would leave the window frozen half the time.
        ++failedStarts_;
        const int backOff = std::min(3 << std::min(failedStarts_ - 1, 6), 120);
        nextRetry_ = clock_.now().addSecs(backOff);
        Q_EMIT changed();
        return StartOutcome::WorkerFailed;
    }
    return StartOutcome::Started;
}

void CookhubService::stop() {
    state_.stop();
    setRunning(false);
    state_.printList.clearNames();
    clock_.sleep(3000);
}

void CookhubService::exit() {
    if (running_)
        stop();
}

bool CookhubService::watchdogDue() const {
    const QDateTime heartbeat = state_.heartbeat();
    const bool stale = heartbeat.isNull() || clock_.now().addSecs(-120) > heartbeat;
    const bool retryDue = failedStarts_ == 0 || clock_.now() >= nextRetry_;
    return stale && retryDue && running_;
}

bool CookhubService::watchdogTick() {
    if (!watchdogDue())
        return false;
    start();
    return true;
}

void CookhubService::updateSchema(bool force) {
    const QSqlDatabase db = QSqlDatabase::database(kMainConnection, false);
    QueueSchema(db, SqlDialect::forDatabase(db)).update(force, FileVersionText());
}

void CookhubService::countDay() {
    QSqlQuery window(QSqlDatabase::database(kWindowConnection, false));
    runSql(window, u"select max(dt_end) as endTime from pos_u_day_sumup"_s);
    if (window.next()) {
        const QDateTime end = dateTimeFromSql(window.value(u"endTime"_s));
        state_.setBusinessDayStart(formatDateTime(end.isValid() ? end : zeroDateTime()));
    }
    window.finish();

    const DayCounts counts =
        cookhub::countDay(QSqlDatabase::database(kMonitorConnection, false),
                          state_.businessDayStart(), formatDateTime(clock_.now()));
    printed_ = counts.printed;
    unprinted_ = counts.waitingTickets + counts.waitingDishes;
    Q_EMIT changed();
}

void CookhubService::setStatusText(const QString& text) {
    state_.setStatusText(text);
    Q_EMIT changed();
}

CookhubService::Snapshot CookhubService::snapshot() const {
    return {running_, state_.statusText(), printed_, unprinted_, failedStarts_};
}

}  // namespace cookhub
