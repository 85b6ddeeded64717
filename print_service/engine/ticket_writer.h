// Ticket commit: built tickets become queue rows in Pos_u_PrintDish and
// Pos_u_PrintDishChild, in the state "N".
//
// Each ticket is one transaction: the marks of its dishes, its child rows, its header
// (first with no state, then "N") and the re-mark. A failure rolls all of it back, so
// the dishes wait for the next cycle instead of being lost, and no headless lines stay
// behind. A ticket is never written twice: its dishes are marked in the same commit.
#pragma once

#include "intake.h"
#include "platform/clock.h"

#include <QSqlDatabase>
#include <QString>

#include <functional>

namespace cookhub {

class TicketWriter {
public:
    // `trace` gets the trace lines; empty when WriteLog is off.
    TicketWriter(const QSqlDatabase& db, const Clock& clock,
                 std::function<void(const QString&)> trace);

    // CommitTickets: every record of the four arrays, ArrPerTable, ArrPerDish,
    // ArrPerSeries, ArrPerType. A failing ticket is rolled back and skipped.
    void CommitTickets(const QString& passName, bool remark, TicketArrays& arrays);

    // The station list of one commit; read by CommitTickets.
    void loadStations();
    // WriteTicket inside the caller's transaction: false when the station is unknown
    // or has no printer (nothing is written then). Database errors throw SqlFailure.
    bool WriteTicket(const TDishRecord& record, const QString& stationId);

    // Test seam: runs before each ticket's commit; throwing there fails the ticket.
    std::function<void(const TDishRecord&)> beforeCommit;

private:
    struct Station {
        QString id;
        int printers = 0;
        QString printer1, printer2, printer3, path, backup;
    };

    bool commitOne(const TDishRecord& record, bool remark);
    QString newPrintId() const;

    QSqlDatabase db_;
    const Clock& clock_;
    std::function<void(const QString&)> trace_;
    std::vector<Station> stations_;
};

}  // namespace cookhub
