// A real SQLite POS database file for tests, built from the same schema (and, when
// asked, the same seed) as the demo's.
#pragma once

#include "qt_printing.h"

#include <QString>
#include <QTemporaryDir>

namespace cookhub::test {

// Runs every statement of an SQL file on the database file, creating it. False (and
// a gtest failure) when a statement fails.
bool applySqlFile(const QString& databaseFile, const QString& sqlFile);
bool applySql(const QString& databaseFile, const QString& sql);

QString schemaFile();
QString seedFile();

// A service home: a temporary folder with a POS database "pos.db" and a connection
// settings file "rolmav3.ini" pointing at it through the embedded provider.
class PosHome {
public:
    enum class Content { Empty, Schema, SchemaAndSeed };
    explicit PosHome(Content content = Content::SchemaAndSeed);

    QString appDir() const;  // with a trailing '/'
    QString databaseFile() const;
    QString connectionString() const;
    bool exec(const QString& sql) const;

private:
    QTemporaryDir dir_;
};

}  // namespace cookhub::test
