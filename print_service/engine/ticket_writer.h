// Ticket commit: built tickets become queue rows in Pos_u_PrintDish and
// Pos_u_PrintDishChild, in the state "N".
//
// A ticket is all or nothing: the marks of its dishes, its child rows, its header
// (first with no state, then "N") and the re-mark are written under one savepoint,
// and a failure goes back to it, so the dishes wait for the next cycle instead of
// being lost, and no headless lines stay behind. The tickets of one pass share one
// transaction, which is what makes a line cheap to queue. A dish is marked only if
// nobody took it meanwhile; a ticket any of whose dishes was taken is dropped whole,
// so two workers can never queue one dish twice.
#pragma once

#include "intake.h"
#include "platform/clock.h"
#include "service_state.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

#include <functional>
#include <optional>

namespace cookhub {

class TicketWriter {
public:
    // `trace` gets the trace lines; empty when WriteLog is off.
    TicketWriter(const QSqlDatabase& db, const Clock& clock,
                 std::function<void(const QString&)> trace);

    // CommitTickets: every record of the four arrays, ArrPerTable, ArrPerDish,
    // ArrPerSeries, ArrPerType. A failing ticket is rolled back and skipped. False
    // when the run was found over before a ticket or before the commit: then nothing
    // of this pass is kept. Throws SqlFailure when the pass's transaction fails.
    bool CommitTickets(const QString& passName, bool remark, TicketArrays& arrays);

    // The run this writer works for; without one it never stops on its own.
    void setRunToken(const RunToken* token) { token_ = token; }

    // The station list of one commit; read by CommitTickets.
    void loadStations();
    // WriteTicket inside the caller's transaction: false when the station is unknown
    // or has no printer (nothing is written then). Database errors throw SqlFailure.
    bool WriteTicket(const TDishRecord& record, const QString& stationId);

    // Test seams, both inside the pass's transaction: before a ticket's first write,
    // and after its last one; throwing there fails the ticket.
    std::function<void(const TDishRecord&)> beforeWrites;
    std::function<void(const TDishRecord&)> beforeCommit;

private:
    struct Station {
        QString id;
        int printers = 0;
        QString printer1, printer2, printer3, path, backup;
    };

    void writeOne(const TDishRecord& record, bool remark);
    bool running() const { return !token_ || token_->running(); }
    QString newPrintId() const;

    // The statements every ticket runs, prepared once per commit.
    QSqlQuery& prepared(std::optional<QSqlQuery>& slot, const QString& sql);

    QSqlDatabase db_;
    const Clock& clock_;
    std::function<void(const QString&)> trace_;
    std::vector<Station> stations_;
    const RunToken* token_ = nullptr;
    std::vector<TSpec> specs_;
    std::optional<QSqlQuery> insertChild_, insertHeader_, setWaiting_, mark_;
};

}  // namespace cookhub
