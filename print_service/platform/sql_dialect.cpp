#include "sql_dialect.h"

#include "queue_layout.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>

#include <vector>

using namespace Qt::StringLiterals;

namespace cookhub {

namespace {

QString name(const QueueColumn& c)
{
    return QString::fromUtf16(c.name);
}

QString type(const QueueColumn& c)
{
    return QString::fromUtf16(c.type);
}

class SqlServerDialect final : public SqlDialect {
public:
    QString createPrintDishTable() const override
    {
        QStringList sql;
        sql << u" if not exists (select * from dbo.sysobjects where id = object_id(N'[Pos_u_PrintDish]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)"_s
            << u" CREATE TABLE [Pos_u_PrintDish] (  "_s;
        for (const QueueColumn& c : kPrintDishColumns)
            if (!c.added)
                sql << columnLine(c);
        sql << u" CONSTRAINT [PK_Pos_u_Print] PRIMARY KEY  CLUSTERED "_s << u" ( "_s
            << u"   [PrintId] "_s << u" )  ON [PRIMARY]"_s << u" ) ON [PRIMARY] "_s;
        return sql.join(u'\n');
    }

    QString createPrintDishChildTable() const override
    {
        QStringList sql;
        sql << u" if not exists (select * from dbo.sysobjects where id = object_id(N'[Pos_u_PrintDishChild]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)"_s
            << u" CREATE TABLE [Pos_u_PrintDishChild] ( "_s;
        for (const QueueColumn& c : kPrintDishChildColumns)
            if (!c.added)
                sql << columnLine(c);
        sql << u" CONSTRAINT [PK_Pos_U_PrintDishChild] PRIMARY KEY  CLUSTERED "_s << u" ( "_s
            << u"   [PrintId], "_s << u"   [ParentId] "_s << u" )  ON [PRIMARY] "_s
            << u" ) ON [PRIMARY] "_s;
        return sql.join(u'\n');
    }

    // SQL Server seeks "IsPrint<>'Y' and IsPrint<>'S'" as ranges of the state index.
    QStringList queueIndexes() const override {
        auto guarded = [](const QString& table, const QString& index, const QString& columns) {
            return u"if not exists (select * from sysindexes where name = '%2' and id = "
                   u"object_id(N'[%1]')) "
                   "create index [%2] on [%1] (%3)"_s.arg(table, index, columns);
        };
        return {
            guarded(u"Pos_u_PrintDishChild"_s, u"IX_Pos_u_PrintDishChild_ParentId"_s,
                    u"[ParentId]"_s),
            guarded(u"Pos_u_PrintDish"_s, u"IX_Pos_u_PrintDish_State"_s,
                    u"[IsPrint], [PrintTime]"_s),
            guarded(u"Pos_u_PrintDish"_s, u"IX_Pos_u_PrintDish_dTime"_s, u"[dTime]"_s),
            guarded(u"Pos_u_PrintDish"_s, u"IX_Pos_u_PrintDish_BillNo"_s, u"[BillNo]"_s),
        };
    }

    QString columnExistsQuery(const QString& table, const QString& column) const override
    {
        return u"select name from syscolumns where name = '%1' and object_name(id) = '%2'"_s.arg(
            column, table);
    }

    QString savepoint(const QString& name) const override { return u"save transaction "_s + name; }
    QString rollbackToSavepoint(const QString& name) const override {
        return u"rollback transaction "_s + name;
    }
    QString releaseSavepoint(const QString&) const override { return {}; }

    QString primaryKeyUpgrade() const override
    {
        return u"if  not exists (select * from dbo.sysobjects where id = object_id(N'[PK_Pos_u_Print]')) "_s
               u"alter table Pos_u_PrintDish add CONSTRAINT PK_Pos_u_Print PRIMARY KEY (OrderId)"_s;
    }

private:
    static QString columnLine(const QueueColumn& c)
    {
        const QString null = c.notNull ? u"NOT NULL"_s : u"NULL"_s;
        if (name(c) == u"OrderId"_s || (name(c) == u"PrintId"_s && type(c) == u"int"_s))
            return u" [%1] [int] IDENTITY (1, 1) NOT NULL , "_s.arg(name(c));
        if (c.width > 0)
            return u" [%1] [%2] (%3) COLLATE Chinese_PRC_CI_AS %4 ,"_s.arg(name(c), type(c))
                .arg(c.width)
                .arg(null);
        return u" [%1] [%2] %3 ,"_s.arg(name(c), type(c), null);
    }
};

// SQLite: auto-increment needs INTEGER PRIMARY KEY, so the header's key is OrderId and
// PrintId is unique; text compares without regard to case, as Chinese_PRC_CI_AS does.
class SqliteDialect final : public SqlDialect {
public:
    QString createPrintDishTable() const override
    {
        QStringList lines;
        for (const QueueColumn& c : kPrintDishColumns) {
            if (c.added)
                continue;
            if (name(c) == u"OrderId"_s)
                lines << u"  OrderId INTEGER PRIMARY KEY AUTOINCREMENT"_s;
            else if (name(c) == u"PrintId"_s)
                lines << u"  PrintId varchar(50) COLLATE NOCASE NOT NULL UNIQUE"_s;
            else
                lines << columnLine(c);
        }
        return u"CREATE TABLE IF NOT EXISTS Pos_u_PrintDish (\n"_s + lines.join(u",\n"_s) +
               u"\n)"_s;
    }

    QString createPrintDishChildTable() const override
    {
        QStringList lines;
        for (const QueueColumn& c : kPrintDishChildColumns) {
            if (c.added)
                continue;
            if (name(c) == u"PrintId"_s)
                lines << u"  PrintId INTEGER PRIMARY KEY AUTOINCREMENT"_s;
            else
                lines << columnLine(c);
        }
        return u"CREATE TABLE IF NOT EXISTS Pos_u_PrintDishChild (\n"_s + lines.join(u",\n"_s) +
               u"\n)"_s;
    }

    QString columnExistsQuery(const QString& table, const QString& column) const override
    {
        return u"select name from pragma_table_info('%1') where name = '%2' collate nocase"_s.arg(
            table, column);
    }

    QString primaryKeyUpgrade() const override { return {}; }

    QString savepoint(const QString& name) const override { return u"savepoint "_s + name; }
    QString rollbackToSavepoint(const QString& name) const override {
        return u"rollback to savepoint "_s + name;
    }
    QString releaseSavepoint(const QString& name) const override {
        return u"release savepoint "_s + name;
    }

    QVariant dateTimeValue(const QDateTime& time) const override
    {
        return time.isValid() ? QVariant(time.toString(u"yyyy-MM-dd hh:mm:ss"_s))
                              : QVariant(QMetaType::fromType<QString>());
    }

    QString adapt(const QString& sql) const override
    {
        // Split into plain text and quoted literals ('' inside a literal is a quote).
        struct Piece {
            QString text;
            bool literal;
        };
        std::vector<Piece> pieces;
        QString current;
        bool inLiteral = false;
        for (qsizetype i = 0; i < sql.size(); ++i) {
            const QChar c = sql[i];
            if (c == u'\'') {
                if (inLiteral && i + 1 < sql.size() && sql[i + 1] == u'\'') {
                    current += u"''"_s;
                    ++i;
                    continue;
                }
                if (!inLiteral) {
                    pieces.push_back({current, false});
                    current = u"'"_s;
                } else {
                    pieces.push_back({current + u'\'', true});
                    current.clear();
                }
                inLiteral = !inLiteral;
                continue;
            }
            current += c;
        }
        pieces.push_back({current, inLiteral});

        static const QRegularExpression isnullCall(u"\\bisnull(\\s*\\()"_s,
                                                   QRegularExpression::CaseInsensitiveOption);
        static const QRegularExpression plusBeforeLiteral(u"\\+\\s*$"_s);
        // SQL Server reads ' 2026-12-11 10:00:00' as a date; as SQLite text the blank
        // would sort before every stored date.
        static const QRegularExpression paddedDate(
            u"^'\\s+(\\d{4}-\\d{2}-\\d{2} \\d{2}:\\d{2}:\\d{2})'$"_s);
        QString out;
        out.reserve(sql.size());
        for (size_t i = 0; i < pieces.size(); ++i) {
            Piece piece = pieces[i];
            if (piece.literal) {
                const QRegularExpressionMatch date = paddedDate.match(piece.text);
                out += date.hasMatch() ? u'\'' + date.captured(1) + u'\'' : piece.text;
                continue;
            }
            piece.text.replace(isnullCall, u"ifnull\\1"_s);
            // text + 'literal' is a concatenation in SQL Server, || in SQLite.
            if (i + 1 < pieces.size() && pieces[i + 1].literal)
                piece.text.replace(plusBeforeLiteral, u"|| "_s);
            out += piece.text;
        }
        return out;
    }

    // SQLite cannot seek "<>": the waiting tickets get a partial index whose condition
    // is the printing pass's own, which the planner matches term by term.
    QStringList queueIndexes() const override
    {
        return {
            // A ticket's lines, read by the printing pass and the history.
            u"CREATE INDEX IF NOT EXISTS IX_Pos_u_PrintDishChild_ParentId ON Pos_u_PrintDishChild (ParentId)"_s,
            // The waiting tickets of the printing pass's two selections.
            u"CREATE INDEX IF NOT EXISTS IX_Pos_u_PrintDish_Waiting ON Pos_u_PrintDish (OrderId) "
            "WHERE IsPrint<>'Y' and IsPrint<>'S'"_s,
            // The confirmation of handed-over tickets, per printed ticket.
            u"CREATE INDEX IF NOT EXISTS IX_Pos_u_PrintDish_State ON Pos_u_PrintDish (IsPrint, PrintName, PrintTime)"_s,
            // The day counts.
            u"CREATE INDEX IF NOT EXISTS IX_Pos_u_PrintDish_dTime ON Pos_u_PrintDish (dTime)"_s,
            // The repeated transfer tickets of a bill.
            u"CREATE INDEX IF NOT EXISTS IX_Pos_u_PrintDish_BillNo ON Pos_u_PrintDish (BillNo)"_s,
        };
    }

private:
    static QString columnLine(const QueueColumn& c)
    {
        QString line = u"  "_s + name(c) + u' ';
        if (c.width > 0)
            line += u"%1(%2) COLLATE NOCASE"_s.arg(type(c)).arg(c.width);
        else if (type(c) == u"money"_s)
            line += u"numeric"_s;
        else
            line += type(c);
        return line + (c.notNull ? u" NOT NULL"_s : u" NULL"_s);
    }
};

}  // namespace

QString SqlDialect::addColumnStatement(const QString& table, const QString& column,
                                       const QString& type) const
{
    return u"alter table %1 add %2 %3 null"_s.arg(table, column, type);
}

QVariant SqlDialect::dateTimeValue(const QDateTime& time) const
{
    return time.isValid() ? QVariant(time) : QVariant(QMetaType::fromType<QDateTime>());
}

const SqlDialect& SqlDialect::sqlServer()
{
    static const SqlServerDialect dialect;
    return dialect;
}

const SqlDialect& SqlDialect::sqlite()
{
    static const SqliteDialect dialect;
    return dialect;
}

const SqlDialect& SqlDialect::forDatabase(const QSqlDatabase& db)
{
    return forDriver(db.driver());
}

const SqlDialect& SqlDialect::forDriver(const QSqlDriver* driver)
{
    return driver && driver->dbmsType() == QSqlDriver::SQLite ? sqlite() : sqlServer();
}

}  // namespace cookhub
