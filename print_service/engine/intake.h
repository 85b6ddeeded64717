// Order intake: unprinted dish lines of pos_u_orderdish become tickets.
//
// One pass walks every station, asks the database once for the station's unprinted
// dishes, copies the result into memory and groups it into TDishRecord tickets by the
// station's rule. The marks of the taken dishes are not written here: they travel
// with each ticket and are written in the same transaction as its queue rows. Within
// a pass a dish goes to the first station (in station-list order) that takes it, and
// onto one ticket line however many routing rows join it.
#pragma once

#include "records.h"

#include <QSet>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace cookhub {

enum class IntakePass { AreaDC, DC, AreaCP, CP };

QString passName(IntakePass pass);
QString passBaseTitle(IntakePass pass);   // "点菜单" or "出品单"
QString passFlagColumn(IntakePass pass);  // "ch_printflag" or "ch_outflag1"

// The intake query of one station: select list, FROM clause, the pass's WHERE clause,
// the cutoff and the closing quote, ordered by int_flowid so that tickets and their
// lines follow the order in which the dishes were ordered on every engine.
QString intakeQuery(IntakePass pass, int stationId, const QString& cutoff);

// The in-memory copy of one station's intake result. Columns are found by name
// without regard to case; where the query selects a name twice the first one counts.
class IntakeTable {
public:
    static IntakeTable copyFrom(QSqlQuery& query);

    int column(const QString& name) const;  // -1 when absent
    size_t rowCount() const { return rows_.size(); }
    const QVariant& value(size_t row, int column) const;
    void setValue(size_t row, int column, const QVariant& value);
    // Drops the rows whose `column` value is in `taken` or repeats an earlier row's,
    // and adds the values of the rows it keeps to `taken`.
    void dropTaken(int column, QSet<QString>& taken);

private:
    QStringList columns_;
    std::vector<std::vector<QVariant>> rows_;
};

// The worker's four ticket arrays, one per grouping rule.
struct TicketArrays {
    TArrDish ArrPerDish;    // cookprint_type 1
    TArrDish ArrPerSeries;  // 2
    TArrDish ArrPerType;    // 3
    TArrDish ArrPerTable;   // 4

    TArrDish* forMode(int cookprintType);
    void ClearTickets();
};

// Groups the rows of one station into tickets appended to `target`; `mode` is the
// station's cookprint_type as text ("1" to "4"). Taken rows get "Y" in the flag column
// of the copy, so none is taken twice.
void BuildTickets(TArrDish& target, IntakeTable& rows, const QString& baseTitle,
                  const QString& stationName, const QString& flagColumn, const QString& mode,
                  const QString& stationId);

// One intake pass over every station, on the worker's queries. Database errors throw
// SqlFailure: the cycle ends.
void runIntake(IntakePass pass, QSqlQuery& stations, QSqlQuery& intake, int lookBackMinutes,
               const QDateTime& now, TicketArrays& arrays);

// The mark statement of one taken dish. It changes no row when the dish was taken
// meanwhile (by a worker that should have stopped), which its caller checks.
// The dish's int_flowid is its one bound value.
QString markStatement(const QString& flagColumn);

}  // namespace cookhub
