#include "database.h"

#include "app_paths.h"

#include <QDateTime>
#include <QFile>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

#include <sqlite3.h>

using namespace Qt::StringLiterals;

namespace cookhub {

ConnectionText ConnectionText::parse(const QString& text)
{
    ConnectionText result;
    const QStringList parts = text.split(u';');
    for (const QString& part : parts) {
        const qsizetype eq = part.indexOf(u'=');
        if (eq < 0)
            continue;
        const QString key = part.left(eq).trimmed();
        const QString value = part.mid(eq + 1).trimmed();
        auto is = [&](const char* name) {
            return key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0;
        };
        if (is("Provider"))
            result.provider = value;
        else if (is("Password"))
            result.password = value;
        else if (is("User ID"))
            result.userId = value;
        else if (is("Initial Catalog"))
            result.initialCatalog = value;
        else if (is("Data Source"))
            result.dataSource = value;
        else if (is("Odbc Driver"))
            result.odbcDriver = value;
    }
    return result;
}

bool ConnectionText::isSqlite() const
{
    return provider.compare(u"SQLite"_s, Qt::CaseInsensitive) == 0;
}

QString ConnectionText::server() const
{
    const qsizetype comma = dataSource.lastIndexOf(u',');
    return comma < 0 ? dataSource : dataSource.left(comma);
}

QString ConnectionText::port() const
{
    const qsizetype comma = dataSource.lastIndexOf(u',');
    return comma < 0 ? QString() : dataSource.mid(comma + 1).trimmed();
}

namespace {

void sqlGetDate(sqlite3_context* context, int, sqlite3_value**)
{
    const QByteArray now =
        QDateTime::currentDateTime().toString(u"yyyy-MM-dd hh:mm:ss"_s).toUtf8();
    sqlite3_result_text(context, now.constData(), static_cast<int>(now.size()), SQLITE_TRANSIENT);
}

sqlite3* sqliteHandle(QSqlDatabase& db)
{
    const QVariant handle = db.driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return nullptr;
    return *static_cast<sqlite3* const*>(handle.data());
}

QString sqliteFileUri(const QString& path)
{
    return u"file:"_s + QString::fromLatin1(QUrl::toPercentEncoding(path, "/")) + u"?mode=rw"_s;
}

QString odbcConnectionString(const ConnectionText& c)
{
    const QString driver = c.odbcDriver.isEmpty() ? u"FreeTDS"_s : c.odbcDriver;
    QString s = u"DRIVER={%1};SERVER=%2;DATABASE=%3;UID=%4;PWD=%5;ClientCharset=UTF-8;"_s.arg(
        driver, c.server(), c.initialCatalog, c.userId, c.password);
    if (!c.port().isEmpty())
        s += u"PORT=%1;"_s.arg(c.port());
    return s;
}

}  // namespace

bool registerSqlServerFunctions(QSqlDatabase& db)
{
    sqlite3* handle = sqliteHandle(db);
    if (!handle)
        return false;
    return sqlite3_create_function_v2(handle, "getdate", 0, SQLITE_UTF8, nullptr, sqlGetDate,
                                      nullptr, nullptr, nullptr) == SQLITE_OK;
}

bool openConnection(const QString& name, const QString& text, const QString& appDir,
                    int timeoutSeconds, QString* error)
{
    const ConnectionText c = ConnectionText::parse(text);
    const QString driver = c.isSqlite() ? u"QSQLITE"_s : u"QODBC"_s;
    if (QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).driverName() != driver)
        QSqlDatabase::removeDatabase(name);
    QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                   : QSqlDatabase::addDatabase(driver, name);
    db.close();
    if (c.isSqlite()) {
        if (c.initialCatalog.isEmpty()) {
            if (error)
                *error = u"no database file named"_s;
            return false;
        }
        db.setDatabaseName(sqliteFileUri(resolveStoredPath(appDir, c.initialCatalog)));
        db.setConnectOptions(u"QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1"_s.arg(timeoutSeconds * 1000));
    } else {
        db.setDatabaseName(odbcConnectionString(c));
        db.setConnectOptions(u"SQL_ATTR_LOGIN_TIMEOUT=%1;SQL_ATTR_CONNECTION_TIMEOUT=%1"_s.arg(
            timeoutSeconds));
    }
    if (!db.open()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    if (c.isSqlite()) {
        // Several threads each hold a connection to the file: WAL lets readers and the
        // one writer go on side by side instead of failing with "database is locked".
        QSqlQuery(u"PRAGMA journal_mode=WAL"_s, db);
        // In WAL mode NORMAL still keeps every commit atomic across a crash; it only
        // skips the sync of each commit, which would cost a disk flush per ticket.
        QSqlQuery(u"PRAGMA synchronous=NORMAL"_s, db);
        QSqlQuery(u"PRAGMA temp_store=MEMORY"_s, db);
        if (!registerSqlServerFunctions(db)) {
            if (error)
                *error = u"cannot register SQL functions"_s;
            db.close();
            return false;
        }
    }
    return true;
}

bool openCloneConnection(const QString& source, const QString& name, QString* error)
{
    if (!QSqlDatabase::contains(source)) {
        if (error)
            *error = u"no connection "_s + source;
        return false;
    }
    if (QSqlDatabase::contains(name))
        QSqlDatabase::removeDatabase(name);
    QSqlDatabase db = QSqlDatabase::cloneDatabase(source, name);
    if (!db.open()) {
        if (error)
            *error = db.lastError().text();
        return false;
    }
    if (db.driverName() == u"QSQLITE"_s) {
        QSqlQuery(u"PRAGMA synchronous=NORMAL"_s, db);
        // A ticket's savepoint keeps the pages it changes in a sub-journal: in memory,
        // not in a temporary file opened and written for every ticket.
        QSqlQuery(u"PRAGMA temp_store=MEMORY"_s, db);
    }
    if (db.driverName() == u"QSQLITE"_s && !registerSqlServerFunctions(db)) {
        if (error)
            *error = u"cannot register SQL functions"_s;
        return false;
    }
    return true;
}

bool runSqliteScript(const QString& databaseFile, const QString& sql, QString* error)
{
    sqlite3* db = nullptr;
    if (sqlite3_open(QFile::encodeName(databaseFile).constData(), &db) != SQLITE_OK) {
        if (error)
            *error = QString::fromUtf8(sqlite3_errmsg(db));
        sqlite3_close(db);
        return false;
    }
    char* message = nullptr;
    const bool ok = sqlite3_exec(db, sql.toUtf8().constData(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok && error)
        *error = QString::fromUtf8(message ? message : "?");
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

QDateTime dateTimeFromSql(const QVariant& value)
{
    if (value.isNull())
        return {};
    if (value.metaType().id() == QMetaType::QDateTime)
        return value.toDateTime();
    const QString text = value.toString().trimmed();
    // The form every date-time is stored in, read without the general parser: intake
    // reads one per dish line.
    if (text.size() == 19 && text[4] == u'-' && text[7] == u'-' && text[10] == u' ' &&
        text[13] == u':' && text[16] == u':') {
        auto number = [&](qsizetype at, qsizetype length) {
            bool ok = false;
            const int n = QStringView(text).mid(at, length).toInt(&ok);
            return ok ? n : -1;
        };
        const QDate date(number(0, 4), number(5, 2), number(8, 2));
        const QTime time(number(11, 2), number(14, 2), number(17, 2));
        if (date.isValid() && time.isValid())
            return QDateTime(date, time);
    }
    for (const QString& format : {u"yyyy-MM-dd hh:mm:ss"_s, u"yyyy-MM-dd hh:mm:ss.zzz"_s,
                                  u"yyyy-MM-ddThh:mm:ss"_s, u"yyyy-MM-dd"_s}) {
        const QDateTime time = QDateTime::fromString(text, format);
        if (time.isValid())
            return time;
    }
    return {};
}

bool isConnectionOpen(const QString& name)
{
    return QSqlDatabase::contains(name) && QSqlDatabase::database(name, false).isOpen();
}

void closeConnection(const QString& name)
{
    if (QSqlDatabase::contains(name))
        QSqlDatabase::database(name, false).close();
}

}  // namespace cookhub
