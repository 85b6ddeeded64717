#include "pos_database.h"

#include "platform/database.h"
#include "platform/ini_file.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace cookhub::test {

bool applySql(const QString& databaseFile, const QString& sql)
{
    QString error;
    const bool ok = runSqliteScript(databaseFile, sql, &error);
    if (!ok)
        ADD_FAILURE() << "SQL failed: " << error.toStdString();
    return ok;
}

bool applySqlFile(const QString& databaseFile, const QString& sqlFile)
{
    QFile file(sqlFile);
    if (!file.open(QIODevice::ReadOnly)) {
        ADD_FAILURE() << "cannot read " << sqlFile.toStdString();
        return false;
    }
    return applySql(databaseFile, QString::fromUtf8(file.readAll()));
}

QString schemaFile()
{
    return QStringLiteral(COOKHUB_SQL_DIR "/pos_schema.sql");
}

QString seedFile()
{
    return QStringLiteral(COOKHUB_SQL_DIR "/pos_seed.sql");
}

PosHome::PosHome(Content content)
{
    if (content != Content::Empty)
        applySqlFile(databaseFile(), schemaFile());
    if (content == Content::SchemaAndSeed)
        applySqlFile(databaseFile(), seedFile());
    const QString ini = appDir() + u"rolmav3.ini"_s;
    WriteIniString(ini, u"branch_db"_s, u"Provider"_s, u"SQLite"_s);
    WriteIniString(ini, u"branch_db"_s, u"Database"_s, u"pos.db"_s);
}

QString PosHome::appDir() const
{
    return dir_.path() + u'/';
}

QString PosHome::databaseFile() const
{
    return appDir() + u"pos.db"_s;
}

QString PosHome::connectionString() const
{
    return u"Provider=SQLite;Password=;Persist Security Info=True;User ID=; Initial Catalog=pos.db;Data Source=,"_s;
}

bool PosHome::exec(const QString& sql) const
{
    return applySql(databaseFile(), sql);
}

}  // namespace cookhub::test
