#include "queue_schema.h"

#include "sql_run.h"

#include <QVariant>

using namespace Qt::StringLiterals;

namespace cookhub {

QueueSchema::QueueSchema(const QSqlDatabase& db, const SqlDialect& dialect)
    : dialect_(dialect), query_(db)
{
}

bool QueueSchema::readStoredVersion(QString* version)
{
    version->clear();
    query_.finish();
    if (!query_.exec(u"select * from pos_sys_parameter where vch_parameter ='PrintVer'"_s))
        return false;
    if (query_.next())
        *version = query_.value(u"vch_value"_s).toString();
    query_.finish();
    return true;
}

bool QueueSchema::AddColumnIfMissing(const QString& table, const QString& column,
                                     const QString& type)
{
    runSql(query_, dialect_.columnExistsQuery(table, column));
    const bool present = query_.next();
    query_.finish();
    if (present)
        return false;
    runSql(query_, dialect_.addColumnStatement(table, column, type));
    return true;
}

void QueueSchema::update(bool force, const QString& programVersion)
{
    QString stored;
    if (!readStoredVersion(&stored))
        return;

    // Ordinal comparison, as installed databases were always upgraded: "1.0.1.9" is
    // later than "1.0.1.11", so such a database skips the steps after it.
    auto due = [&](const QString& stepVersion) {
        return force || QString::compare(stored, stepVersion, Qt::CaseSensitive) < 0;
    };

    if (due(u"1.0.1.02"_s)) {
        runSql(query_, dialect_.createPrintDishTable());
        runSql(query_, dialect_.createPrintDishChildTable());
    }
    if (due(u"1.0.1.07"_s)) {
        AddColumnIfMissing(u"Pos_u_PrintDishChild"_s, u"ch_oldtableno"_s, u"varchar(50)"_s);
        AddColumnIfMissing(u"Pos_u_PrintDishChild"_s, u"ch_oldtableName"_s, u"varchar(50)"_s);
        AddColumnIfMissing(u"Pos_u_PrintDishChild"_s, u"BakPrinter"_s, u"varchar(50)"_s);
        AddColumnIfMissing(u"pos_bt_dish_cookprint"_s, u"sPath"_s, u"varchar(255)"_s);
        AddColumnIfMissing(u"Pos_u_PrintDish"_s, u"sPath"_s, u"varchar(255)"_s);
    }
    if (due(u"1.0.1.08"_s)) {
        AddColumnIfMissing(u"Pos_u_PrintDish"_s, u"PrintName2"_s, u"varchar(255)"_s);
        AddColumnIfMissing(u"Pos_u_PrintDish"_s, u"PrintName3"_s, u"varchar(255)"_s);
    }
    if (due(u"1.0.1.11"_s))
        AddColumnIfMissing(u"Pos_u_PrintDishChild"_s, u"ch_dish_barcode"_s, u"varchar(10)"_s);
    if (due(u"1.0.1.13"_s)) {
        const QString statement = dialect_.primaryKeyUpgrade();
        if (!statement.isEmpty())
            runSql(query_, statement);
    }
    if (due(u"1.0.1.20"_s))
        AddColumnIfMissing(u"Pos_u_PrintDishChild"_s, u"num_AddPrice"_s, u"float"_s);

    writeVersion(programVersion);
    createIndexes();
}

bool QueueSchema::createIndexes() {
    bool all = true;
    for (const QString& index : dialect_.queueIndexes()) {
        query_.finish();
        // A login that may not make indexes, or a queue not made yet, costs speed
        // only: the service goes on without the index.
        all = query_.exec(index) && all;
    }
    query_.finish();
    return all;
}

void QueueSchema::writeVersion(const QString& programVersion)
{
    runSql(query_, u"select * from  pos_sys_parameter   where vch_parameter ='PrintVer'"_s);
    const bool exists = query_.next();
    query_.finish();
    if (!exists) {
        runSql(query_,
               u"insert into pos_sys_parameter(vch_value,vch_parameter,vch_explain) Values('"_s +
                   programVersion + u"','PrintVer','后台厨打版本号')"_s);
    } else {
        runSql(query_, u"update pos_sys_parameter set vch_value='"_s + programVersion +
                           u"'  where vch_parameter ='PrintVer'"_s);
    }
}

}  // namespace cookhub
