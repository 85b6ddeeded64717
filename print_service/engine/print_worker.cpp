#include "print_worker.h"

#include "platform/database.h"
#include "print_queue.h"
#include "ticket_writer.h"
#include "trace.h"

#include <QSqlQuery>

using namespace Qt::StringLiterals;

namespace cookhub {

TPrintThread::TPrintThread(ServiceState& state, Clock& clock, RunToken token,
                           const QSqlDatabase& paramsDb, QString sourceConnection)
    : state_(state),
      clock_(clock),
      token_(token),
      appDir_(state.appDir),
      sourceConnection_(std::move(sourceConnection))
{
    params_ = LoadParams(appDir_, paramsDb);
    state_.setBusinessDayStart(params_.businessDayStart);
}

std::function<void(const QString&)> TPrintThread::tracer() const
{
    if (!params_.writeLog)
        return {};
    return [this](const QString& text) { WriteTrace(appDir_, clock_, text); };
}

bool TPrintThread::runPass(const QSqlDatabase& db, IntakePass pass) {
    if (!token_.running())
        return false;
    arrays_.ClearTickets();
    {
        QSqlQuery stations(db);
        QSqlQuery intake(db);
        runIntake(pass, stations, intake, params_.lookBackMinutes, clock_.now(), arrays_);
    }
    // The two station passes re-mark their dishes after queueing; the area passes
    // do not.
    const bool remark = pass == IntakePass::DC || pass == IntakePass::CP;
    TicketWriter writer(db, clock_, tracer());
    writer.setRunToken(&token_);
    writer.beforeWrites = beforeTicketWrites;
    return writer.CommitTickets(passName(pass), remark, arrays_);
}

bool TPrintThread::runCycle(const QSqlDatabase& db)
{
    state_.beat(clock_.now());
    if (!token_.running())
        return false;
    for (IntakePass pass :
         {IntakePass::AreaDC, IntakePass::DC, IntakePass::AreaCP, IntakePass::CP}) {
        if (!runPass(db, pass)) {
            arrays_.ClearTickets();
            return false;
        }
    }
    arrays_.ClearTickets();
    clock_.sleep(params_.pauseMilliseconds);
    return PrintQueue(db);
}

bool TPrintThread::PrintQueue(const QSqlDatabase& db)
{
    PrintPassContext context{db, params_, clock_, token_, state_, *output_, report_, tracer()};
    return cookhub::PrintQueue(context);
}

void TPrintThread::run()
{
    const QString name = sourceConnection_ + u"#worker"_s + QString::number(token_.run());
    // Alive from the first moment: opening the connection may take a while.
    state_.beat(clock_.now());
    {
        bool failed = !openCloneConnection(sourceConnection_, name);
        const QSqlDatabase db = QSqlDatabase::database(name, false);
        while (!failed && token_.running()) {
            try {
                if (!runCycle(db))
                    break;
            } catch (const std::exception&) {
                failed = true;
            }
        }
        if (failed && token_.running() && stopService)
            stopService();
    }
    closeConnection(name);
    QSqlDatabase::removeDatabase(name);
    keepAlive.reset();
}

}  // namespace cookhub
