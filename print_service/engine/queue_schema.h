// The print queue tables and their upgrades.
//
// Creates Pos_u_PrintDish and Pos_u_PrintDishChild on a new database and brings older
// installations up to the current layout, step by step, keyed by the schema version
// kept in pos_sys_parameter ("PrintVer"). All statements run on one query of the
// given connection, on the caller's thread.
#pragma once

#include "platform/sql_dialect.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

namespace cookhub {

class QueueSchema {
public:
    QueueSchema(const QSqlDatabase& db, const SqlDialect& dialect);

    // UpdateSql: `force` runs every step whatever the stored version. A failed version
    // read ends it quietly (nothing runs, nothing is written); a failing step throws
    // SqlFailure and leaves the later steps and the version write undone. After the
    // version write the queue's indexes are made where missing, whatever the version:
    // installations already at the current version get them too.
    void update(bool force, const QString& programVersion);

    // Adds `column` to `table` unless the table has it; returns true when it added.
    bool AddColumnIfMissing(const QString& table, const QString& column, const QString& type);

    // The queue's indexes, each made once; false when one could not be made (then the
    // queue works, only slower with a long history).
    bool createIndexes();

    // The version stored in "PrintVer", empty when there is none.
    bool readStoredVersion(QString* version);

private:
    void writeVersion(const QString& programVersion);

    const SqlDialect& dialect_;
    QSqlQuery query_;
};

}  // namespace cookhub
