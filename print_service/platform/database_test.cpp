#include "engine/test_support/pos_database.h"
#include "platform/database.h"
#include "platform/sql_dialect.h"

#include <QDateTime>
#include <QSqlError>
#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

TEST(ConnectionText, ParsesTheSettingsConnectionString)
{
    const ConnectionText c = ConnectionText::parse(
        u"Provider=SQLOLEDB.1;Password=p;w;Persist Security Info=True;User ID=sa; Initial Catalog=pos;Data Source=10.0.0.5,1433"_s);
    EXPECT_EQ(c.provider, u"SQLOLEDB.1"_s);
    EXPECT_EQ(c.userId, u"sa"_s);
    EXPECT_EQ(c.initialCatalog, u"pos"_s);
    EXPECT_EQ(c.server(), u"10.0.0.5"_s);
    EXPECT_EQ(c.port(), u"1433"_s);
    EXPECT_FALSE(c.isSqlite());

    const ConnectionText noPort = ConnectionText::parse(u"Provider=SQLite;Data Source=host,"_s);
    EXPECT_TRUE(noPort.isSqlite());
    EXPECT_EQ(noPort.server(), u"host"_s);
    EXPECT_EQ(noPort.port(), QString());
}

TEST(SqliteConnection, MissingFileIsAFailedConnectionNotANewDatabase)
{
    test::PosHome home(test::PosHome::Content::Empty);
    QString error;
    EXPECT_FALSE(openConnection(u"t_missing"_s, home.connectionString(), home.appDir(), 1, &error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_FALSE(QFile::exists(home.databaseFile()));
    EXPECT_FALSE(isConnectionOpen(u"t_missing"_s));
}

TEST(SqliteConnection, SharedStatementsRunWithTheSqlServerHelpers)
{
    test::PosHome home;
    ASSERT_TRUE(openConnection(u"t_helpers"_s, home.connectionString(), home.appDir(), 1));
    {
        QSqlQuery q(QSqlDatabase::database(u"t_helpers"_s));
        ASSERT_TRUE(q.exec(SqlDialect::sqlite().adapt(
            u"select isnull(f.vch_operator,'系统操作员') as vch_operator, a.int_flowid from pos_u_orderdish a left join pos_sys_operator f on a.vch_operid=f.vch_operid where a.int_id in (1, 13) order by a.int_id"_s)))
            << q.lastError().text().toStdString();
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toString(), u"服务员小王"_s);
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toString(), u"系统操作员"_s);

        const QDateTime before = QDateTime::currentDateTime().addSecs(-1);
        ASSERT_TRUE(q.exec(u"select getdate()"_s));
        ASSERT_TRUE(q.next());
        const QDateTime now = dateTimeFromSql(q.value(0));
        EXPECT_TRUE(now.isValid());
        EXPECT_GE(now, before.addMSecs(-before.time().msec()));
    }
    // Each thread's connection is a clone with the same helpers.
    ASSERT_TRUE(openCloneConnection(u"t_helpers"_s, u"t_helpers_clone"_s));
    QSqlQuery q(QSqlDatabase::database(u"t_helpers_clone"_s));
    ASSERT_TRUE(q.exec(u"select getdate()"_s));
    ASSERT_TRUE(q.next());
    EXPECT_TRUE(dateTimeFromSql(q.value(0)).isValid());
}

TEST(SqliteDialect, RewritesWhatSqliteReadsDifferently)
{
    const struct {
        const char16_t* in;
        const char16_t* out;
    } cases[] = {
        {u"select isnull(b.main_dish,'N')", u"select ifnull(b.main_dish,'N')"},
        {u"select ISNULL (a, b), x_isnull(c)", u"select ifnull (a, b), x_isnull(c)"},
        {u"where a = 'isnull(x)' and b isnull", u"where a = 'isnull(x)' and b isnull"},
        {u"where a = 'it''s isnull(' or isnull(c,1)=1", u"where a = 'it''s isnull(' or ifnull(c,1)=1"},
        {u" update Pos_u_PrintDish set TableNo=TableNo +'_2'  where PrintId ='{A}'",
         u" update Pos_u_PrintDish set TableNo=TableNo || '_2'  where PrintId ='{A}'"},
        {u"where PrintTime>' 2026-12-11 10:00:00' order by OrderId",
         u"where PrintTime>'2026-12-11 10:00:00' order by OrderId"},
        {u"where memo = ' 2026-12-11' and x = 'a+'", u"where memo = ' 2026-12-11' and x = 'a+'"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SqlDialect::sqlite().adapt(QString::fromUtf16(c.in)), QString::fromUtf16(c.out));
    EXPECT_EQ(SqlDialect::sqlServer().adapt(u"select isnull(a,b)"_s), u"select isnull(a,b)"_s);
}

TEST(SqlDateTimes, BothEnginesForms)
{
    EXPECT_EQ(dateTimeFromSql(u"2026-12-10 23:30:00"_s),
              QDateTime(QDate(2026, 12, 10), QTime(23, 30)));
    EXPECT_EQ(dateTimeFromSql(QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5))),
              QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    EXPECT_FALSE(dateTimeFromSql(QVariant()).isValid());
    EXPECT_FALSE(dateTimeFromSql(u"yesterday"_s).isValid());
}

}  // namespace
