// The counts of the business day: tickets printed, tickets waiting, and ordered
// dishes not yet taken into an order ticket, between the end of the last day close
// and now. Shown in the status bar by the window and the status monitor.
#pragma once

#include <QSqlDatabase>
#include <QString>

namespace cookhub {

struct DayCounts {
    int printed = 0;         // tickets in "Y"
    int waitingTickets = 0;  // tickets in any other state
    int waitingDishes = 0;   // dish lines whose order ticket is not queued yet
};

// `start` and `now` as "yyyy-MM-dd hh:mm:ss". The selections are kept as the counts
// have always been defined; the database counts their rows instead of sending them.
// Database errors throw SqlFailure.
DayCounts countDay(const QSqlDatabase& db, const QString& start, const QString& now);

}  // namespace cookhub
