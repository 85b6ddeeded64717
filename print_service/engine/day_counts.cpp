#include "day_counts.h"

#include "sql_run.h"

#include <QSqlQuery>
#include <QVariant>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

int countRows(QSqlQuery& query, const QString& select) {
    runSql(query, u"select count(*) from ("_s + select + u") counted"_s);
    const int count = query.next() ? query.value(0).toInt() : 0;
    query.finish();
    return count;
}

}  // namespace

DayCounts countDay(const QSqlDatabase& db, const QString& start, const QString& now) {
    QSqlQuery query(db);
    const QString range = u" and  (dTime>= '"_s + start + u"' and dTime<='"_s + now + u"' )"_s;
    DayCounts counts;
    counts.printed =
        countRows(query, u"select * from Pos_u_PrintDish where IsPrint ='Y'"_s + range);
    counts.waitingTickets =
        countRows(query, u"select * from Pos_u_PrintDish where IsPrint <>'Y'"_s + range);
    counts.waitingDishes = countRows(
        query,
        u"select * from pos_u_orderdish where ch_printflag <>'Y' and  (dt_dis_operdate>= '"_s +
            start + u"' and dt_dis_operdate<='"_s + now + u"' )"_s);
    return counts;
}

}  // namespace cookhub
