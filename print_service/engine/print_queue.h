// The printing pass: waiting tickets of the look-back window go to paper in queue
// order, one at a time, and are marked done.
#pragma once

#include "engine/run_parameters.h"
#include "engine/service_state.h"
#include "engine/ticket_output.h"
#include "platform/clock.h"
#include "platform/report/report.h"

#include <QSqlDatabase>
#include <QSqlQuery>

#include <functional>

namespace cookhub {

struct PrintPassContext {
    QSqlDatabase db;
    const RunParameters& params;
    const Clock& clock;
    const RunToken& token;
    ServiceState& state;  // the station printers' backups
    TicketOutput& output;
    report::Report& report;
    std::function<void(const QString&)> trace;  // empty when WriteLog is off
};

// PrintQueue: false when it found the run over and stopped for good. Errors of one
// ticket are dropped; errors of the two selections throw SqlFailure.
bool PrintQueue(PrintPassContext& context);

// A queued ticket's header as the printing reads it; the worker's pass and the history's
// reprints prepare a ticket the same way: its template (LoadTemplate of Title from
// templateFolder of sPath), then bindTicket with the rows of ticketRows.
struct QueueTicket {
    QString printId, printName, printName2, printName3, tableNo, oldTableNo, title, billNo, sPath,
        stationName, operatorName;
    QDateTime dTime;
    double allMoney = 0, inMoney = 0;
};
// The current row of a select of Pos_u_PrintDish.
QueueTicket readQueueTicket(const QSqlQuery& query);

// The ticket's dish lines (Pos_u_PrintDishChild), in the table's order. Throws SqlFailure.
QList<report::ReportRow> ticketRows(const QSqlDatabase& db, const QString& printId);

// The dish lines as the report's detail data and the ticket's variables in place of
// the last ticket's; `tempTableId` follows the table name when not empty.
void bindTicket(report::Report& report, const QueueTicket& ticket, QList<report::ReportRow> rows,
                const QString& tempTableId);

// The report variables of a ticket, in the order they are set: name and value (the
// value before it is wrapped as an expression text).
struct TicketVariables {
    QList<std::pair<QString, QString>> values;
};
TicketVariables ticketVariables(const QString& tableNo, const QString& oldTableNo,
                                const QString& title, const QString& stationName,
                                const QString& billNo, const QDateTime& dTime, double allMoney,
                                double inMoney, const QString& operatorName,
                                const QString& tempTableId);

// A value as the expression text the report reads: single quotes around it, a quote
// inside doubled.
QString expressionText(const QString& value);

}  // namespace cookhub
