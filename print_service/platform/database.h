// The POS database connections.
//
// The service keeps the OLE DB style connection text of its settings
// ("Provider=...;Password=...;User ID=...; Initial Catalog=...;Data Source=server,port")
// and this layer turns it into a Qt SQL connection: Provider "SQLOLEDB.1" is SQL Server
// through ODBC (FreeTDS unless "Odbc Driver" names another driver), Provider "SQLite"
// the embedded file named by Initial Catalog. A Qt connection belongs to the thread
// that opened it: every thread opens its own under its own name.
#pragma once

#include <QDateTime>
#include <QSqlDatabase>
#include <QVariant>
#include <QString>

namespace cookhub {

struct ConnectionText {
    QString provider;
    QString password;
    QString userId;
    QString initialCatalog;
    QString dataSource;
    QString odbcDriver;

    static ConnectionText parse(const QString& text);
    bool isSqlite() const;
    QString server() const;  // Data Source before its last comma
    QString port() const;    // after it; empty when there is none
};

enum class OpenResult { Opened, Failed };

// Opens (or re-opens) the connection `name` with `text`; a relative SQLite file is
// taken relative to `appDir`. The SQLite file must exist: a missing POS database is a
// failed connection, not a new empty one. On failure `error` gets the driver's text.
bool openConnection(const QString& name, const QString& text, const QString& appDir,
                    int timeoutSeconds, QString* error = nullptr);

// Opens a connection of the calling thread to the same database as `source`.
bool openCloneConnection(const QString& source, const QString& name, QString* error = nullptr);

// True when the connection exists and is open.
bool isConnectionOpen(const QString& name);

void closeConnection(const QString& name);

// A date-time column as either engine returns it: a date-time value, or text
// "yyyy-MM-dd hh:mm:ss" (SQLite). Null or unreadable gives a null QDateTime.
QDateTime dateTimeFromSql(const QVariant& value);

// Runs every statement of `sql` on the SQLite file, creating it: for building POS
// databases (demo, tests, benchmarks). False with the engine's message on failure.
bool runSqliteScript(const QString& databaseFile, const QString& sql, QString* error = nullptr);

// Registers getdate() on a SQLite connection, so the shared statements that stamp the
// server time run unchanged; it gives local time as text "yyyy-MM-dd hh:mm:ss", the
// form every date-time is stored in. (isnull is a keyword in SQLite: the dialect turns
// it into ifnull instead.)
bool registerSqlServerFunctions(QSqlDatabase& db);

}  // namespace cookhub
