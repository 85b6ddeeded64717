// What differs between the database engines, and nothing else.
//
// Statements shared by both engines are written once, in the code that runs them.
// Only the schema statements (existence tests, CREATE, ALTER) live here: the SQL
// Server dialect emits them exactly as installed databases have always received
// them; the SQLite dialect builds the same tables with the same column names and
// meaning in SQLite's own terms.
#pragma once

#include <QSqlDatabase>
#include <QSqlDriver>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace cookhub {

class SqlDialect {
public:
    virtual ~SqlDialect() = default;

    // Guarded CREATE batches of the two queue tables; each does nothing when its table
    // exists.
    virtual QString createPrintDishTable() const = 0;
    virtual QString createPrintDishChildTable() const = 0;

    // Indexes of the queue tables beside their keys, so that a cycle, a printed ticket
    // and the day counts cost the same after years of history. Each statement is
    // guarded: the index is made once, and running it again changes nothing.
    virtual QStringList queueIndexes() const = 0;

    // A query that returns one row when `table` has `column`.
    virtual QString columnExistsQuery(const QString& table, const QString& column) const = 0;

    QString addColumnStatement(const QString& table, const QString& column,
                               const QString& type) const;

    // A named savepoint inside the open transaction, going back to it, and letting it
    // go (empty where the engine has no such statement).
    virtual QString savepoint(const QString& name) const = 0;
    virtual QString rollbackToSavepoint(const QString& name) const = 0;
    virtual QString releaseSavepoint(const QString& name) const = 0;

    // The statement that gives an old header table its primary key; empty when the
    // engine's tables always have it.
    virtual QString primaryKeyUpgrade() const = 0;

    // The shared statement in the engine's own terms: unchanged on SQL Server. On
    // SQLite, where ISNULL is a keyword, isnull(a, b) becomes ifnull(a, b); a "+" before
    // a quoted literal (string concatenation) becomes "||"; a date-time literal padded
    // with blanks loses them, since SQLite compares the stored dates as text. The
    // content of other literals is never touched.
    virtual QString adapt(const QString& sql) const { return sql; }

    // A date-time as the engine stores it: SQLite keeps text "yyyy-MM-dd hh:mm:ss" so
    // that the shared statements compare it with their quoted texts.
    virtual QVariant dateTimeValue(const QDateTime& time) const;

    static const SqlDialect& sqlServer();
    static const SqlDialect& sqlite();
    static const SqlDialect& forDatabase(const QSqlDatabase& db);
    static const SqlDialect& forDriver(const QSqlDriver* driver);
};

}  // namespace cookhub
