#include "engine/queue_schema.h"
#include "engine/sql_run.h"
#include "engine/test_support/pos_database.h"
#include "platform/database.h"

#include <QSqlQuery>
#include <QStringList>

#include <gtest/gtest.h>

#include <set>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

const QString kVersion = u"1.0.1.21"_s;

class QueueSchemaTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        name = QString::fromStdString(::testing::UnitTest::GetInstance()->current_test_info()->name());
        ASSERT_TRUE(openConnection(name, home.connectionString(), home.appDir(), 1));
    }
    void TearDown() override
    {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
    }

    QSqlDatabase db() const { return QSqlDatabase::database(name); }
    QueueSchema schema() const { return QueueSchema(db(), SqlDialect::sqlite()); }

    std::set<QString> columns(const QString& table) const
    {
        std::set<QString> result;
        QSqlQuery q(db());
        q.exec(u"select name from pragma_table_info('%1')"_s.arg(table));
        while (q.next())
            result.insert(q.value(0).toString());
        return result;
    }

    QStringList versionRows() const
    {
        QStringList rows;
        QSqlQuery q(db());
        q.exec(u"select vch_value, vch_explain from pos_sys_parameter where vch_parameter='PrintVer'"_s);
        while (q.next())
            rows << q.value(0).toString() + u'|' + q.value(1).toString();
        return rows;
    }

    QString schemaText() const
    {
        QSqlQuery q(db());
        q.exec(u"select group_concat(sql, ';') from (select sql from sqlite_master order by name)"_s);
        return q.next() ? q.value(0).toString() : QString();
    }

    void setStoredVersion(const QString& version) const
    {
        ASSERT_TRUE(home.exec(
            u"insert into pos_sys_parameter values ('PrintVer', '%1', '后台厨打版本号')"_s.arg(version)));
    }

    test::PosHome home{test::PosHome::Content::Schema};
    QString name;
};

const std::set<QString> kHeaderColumns = {
    u"PrintId"_s, u"OrderId"_s, u"RmfType"_s, u"PrintTime"_s, u"PrintName"_s, u"TableNo"_s,
    u"OldTableNo"_s, u"Title"_s, u"BillNo"_s, u"sPath"_s, u"dTime"_s, u"AllMoney"_s,
    u"InMoney"_s, u"IsPrint"_s, u"vch_operator"_s, u"vch_Name"_s, u"BakPrinter"_s,
    u"dTimeOut"_s, u"TimeOutPrint"_s, u"PrintName2"_s, u"PrintName3"_s};
const std::set<QString> kChildColumns = {
    u"PrintId"_s, u"ParentId"_s, u"ch_dishno"_s, u"DishName"_s, u"DishUnit"_s, u"Nums"_s,
    u"num_price"_s, u"vch_print_memo"_s, u"vch_reason"_s, u"ch_oldtableno"_s,
    u"ch_oldtableName"_s, u"BakPrinter"_s, u"ch_dish_barcode"_s, u"num_AddPrice"_s};

TEST_F(QueueSchemaTest, NewDatabaseGetsBothTablesTheStationFolderAndTheVersion)
{
    ASSERT_FALSE(columns(u"pos_bt_dish_cookprint"_s).count(u"sPath"_s));
    schema().update(false, kVersion);

    EXPECT_EQ(columns(u"Pos_u_PrintDish"_s), kHeaderColumns);
    EXPECT_EQ(columns(u"Pos_u_PrintDishChild"_s), kChildColumns);
    EXPECT_TRUE(columns(u"pos_bt_dish_cookprint"_s).count(u"sPath"_s));
    EXPECT_EQ(versionRows(), QStringList{u"1.0.1.21|后台厨打版本号"_s});

    // Queue order and line ids count up by themselves; a ticket key is unique.
    QSqlQuery q(db());
    ASSERT_TRUE(q.exec(u"insert into Pos_u_PrintDish (PrintId, IsPrint) values ('{A}', 'N')"_s));
    ASSERT_TRUE(q.exec(u"insert into Pos_u_PrintDish (PrintId, IsPrint) values ('{B}', 'N')"_s));
    EXPECT_FALSE(q.exec(u"insert into Pos_u_PrintDish (PrintId) values ('{a}')"_s));
    ASSERT_TRUE(q.exec(u"insert into Pos_u_PrintDishChild (ParentId, DishName) values ('{B}', 'x')"_s));
    ASSERT_TRUE(q.exec(u"select OrderId from Pos_u_PrintDish order by OrderId"_s));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 2);
    ASSERT_TRUE(q.exec(u"select PrintId from Pos_u_PrintDishChild"_s));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toInt(), 1);
}

TEST_F(QueueSchemaTest, StepsRunByOrdinalComparisonOfTheStoredVersion)
{
    struct Case {
        const char16_t* stored;
        bool step07;  // ch_oldtableno
        bool step08;  // PrintName2
        bool step11;  // ch_dish_barcode
        bool step20;  // num_AddPrice
    };
    // Each case starts from queue tables in their created layout.
    const Case cases[] = {
        {u"1.0.1.02", true, true, true, true},
        {u"1.0.1.07", false, true, true, true},
        {u"1.0.1.11", false, false, false, true},
        {u"1.0.1.21", false, false, false, false},
        {u"1.0.1.9", false, false, false, false},  // "9" sorts after "2"
    };
    for (const Case& c : cases) {
        test::PosHome caseHome(test::PosHome::Content::Schema);
        const QString conn = name + QString::fromUtf16(c.stored);
        ASSERT_TRUE(openConnection(conn, caseHome.connectionString(), caseHome.appDir(), 1));
        QSqlDatabase caseDb = QSqlDatabase::database(conn);
        {
            QSqlQuery q(caseDb);
            ASSERT_TRUE(q.exec(SqlDialect::sqlite().createPrintDishTable()));
            ASSERT_TRUE(q.exec(SqlDialect::sqlite().createPrintDishChildTable()));
            ASSERT_TRUE(q.exec(u"insert into pos_sys_parameter values ('PrintVer', '%1', '后台厨打版本号')"_s
                                   .arg(QString::fromUtf16(c.stored))));
            QueueSchema(caseDb, SqlDialect::sqlite()).update(false, kVersion);

            auto has = [&](const QString& table, const QString& column) {
                q.exec(u"select 1 from pragma_table_info('%1') where name='%2'"_s.arg(table, column));
                return q.next();
            };
            const std::string label = QString::fromUtf16(c.stored).toStdString();
            EXPECT_EQ(has(u"Pos_u_PrintDishChild"_s, u"ch_oldtableno"_s), c.step07) << label;
            EXPECT_EQ(has(u"pos_bt_dish_cookprint"_s, u"sPath"_s), c.step07) << label;
            EXPECT_EQ(has(u"Pos_u_PrintDish"_s, u"PrintName2"_s), c.step08) << label;
            EXPECT_EQ(has(u"Pos_u_PrintDishChild"_s, u"ch_dish_barcode"_s), c.step11) << label;
            EXPECT_EQ(has(u"Pos_u_PrintDishChild"_s, u"num_AddPrice"_s), c.step20) << label;
            ASSERT_TRUE(q.exec(u"select vch_value from pos_sys_parameter where vch_parameter='PrintVer'"_s));
            ASSERT_TRUE(q.next());
            EXPECT_EQ(q.value(0).toString(), kVersion) << label;
            EXPECT_FALSE(q.next()) << label << ": the row is rewritten, not added";
        }
        caseDb.close();
        caseDb = QSqlDatabase();
        QSqlDatabase::removeDatabase(conn);
    }
}

TEST_F(QueueSchemaTest, CurrentVersionRunsNoStepOnAMissingQueue)
{
    setStoredVersion(kVersion);
    schema().update(false, kVersion);
    EXPECT_TRUE(columns(u"Pos_u_PrintDish"_s).empty());
    EXPECT_EQ(versionRows(), QStringList{u"1.0.1.21|后台厨打版本号"_s});
}

TEST_F(QueueSchemaTest, ForcedTwiceChangesNothingTheSecondTime)
{
    setStoredVersion(kVersion);
    schema().update(true, kVersion);
    EXPECT_EQ(columns(u"Pos_u_PrintDishChild"_s), kChildColumns);
    const QString first = schemaText();
    schema().update(true, kVersion);
    EXPECT_EQ(schemaText(), first);
    EXPECT_EQ(versionRows().size(), 1);
}

TEST_F(QueueSchemaTest, FailedVersionReadRunsNothingAndWritesNothing)
{
    ASSERT_TRUE(home.exec(u"drop table pos_sys_parameter"_s));
    const QString before = schemaText();
    schema().update(false, kVersion);
    EXPECT_EQ(schemaText(), before);
}

TEST_F(QueueSchemaTest, FailingStepStopsTheUpgradeBeforeTheVersionWrite)
{
    ASSERT_TRUE(home.exec(u"drop table pos_bt_dish_cookprint"_s));
    EXPECT_THROW(schema().update(false, kVersion), SqlFailure);
    EXPECT_FALSE(columns(u"Pos_u_PrintDish"_s).empty());           // step 1.0.1.02 ran
    EXPECT_FALSE(columns(u"Pos_u_PrintDish"_s).count(u"PrintName2"_s));  // 1.0.1.08 did not
    EXPECT_TRUE(versionRows().isEmpty());
}

// Every statement that runs per cycle, per printed ticket or per count finds its rows
// through an index, as written, so its cost does not grow with the history; also on
// an installation that was already at the current version before the indexes came.
TEST_F(QueueSchemaTest, QueueStatementsAreServedByIndexesMadeOnce) {
    schema().update(false, kVersion);
    ASSERT_TRUE(
        home.exec(u"drop index IX_Pos_u_PrintDish_Waiting; drop index IX_Pos_u_PrintDish_dTime"_s));
    schema().update(false, kVersion);  // the stored version is current now
    const QString once = schemaText();
    schema().update(false, kVersion);
    EXPECT_EQ(schemaText(), once);

    const QString statements[] = {
        u" select  * from Pos_u_PrintDish where (IsPrint<>'Y' and IsPrint<>'S') "_s,
        u" select  * from Pos_u_PrintDish where (IsPrint<>'Y' and IsPrint<>'S') and PrintTime>' 2026-12-11 10:00:00' order by OrderId"_s,
        u" update Pos_u_PrintDish set IsPrint = 'Y'  where IsPrint = 'S' and PrintName = 'hot'   and PrintTime > '2026-12-06 12:00:00'"_s,
        u" select  *  from   Pos_u_PrintDishChild where ParentId ='{A}'"_s,
        u" update Pos_u_PrintDish set IsPrint='Y'  where PrintId ='{A}'"_s,
        u"delete from Pos_u_PrintDish where BillNo ='B1' and Title = '转台出品单' and TableNo = 'A01|x' and OrderID > 7"_s,
        u"select count(*) from (select * from Pos_u_PrintDish where IsPrint ='Y' and  (dTime>= '2026-12-10 23:00:00' and dTime<='2026-12-11 12:00:00' )) counted"_s,
        u"select count(*) from (select * from Pos_u_PrintDish where IsPrint <>'Y' and  (dTime>= '2026-12-10 23:00:00' and dTime<='2026-12-11 12:00:00' )) counted"_s,
    };
    for (const QString& statement : statements) {
        QSqlQuery plan(db());
        ASSERT_TRUE(plan.exec(u"explain query plan "_s + SqlDialect::sqlite().adapt(statement)))
            << statement.toStdString();
        QStringList steps;
        while (plan.next()) steps << plan.value(u"detail"_s).toString();
        for (const QString& step : steps) {
            EXPECT_FALSE(step == u"SCAN Pos_u_PrintDish"_s ||
                         step == u"SCAN Pos_u_PrintDishChild"_s)
                << statement.toStdString() << ": " << steps.join(u"; "_s).toStdString();
        }
    }
}

TEST(SqlServerDialect, EmitsTheInstalledStatements)
{
    const SqlDialect& d = SqlDialect::sqlServer();
    EXPECT_EQ(d.columnExistsQuery(u"Pos_u_PrintDish"_s, u"PrintName2"_s),
              u"select name from syscolumns where name = 'PrintName2' and object_name(id) = 'Pos_u_PrintDish'"_s);
    EXPECT_EQ(d.addColumnStatement(u"pos_bt_dish_cookprint"_s, u"sPath"_s, u"varchar(255)"_s),
              u"alter table pos_bt_dish_cookprint add sPath varchar(255) null"_s);
    EXPECT_EQ(
        d.queueIndexes().value(0),
        u"if not exists (select * from sysindexes where name = 'IX_Pos_u_PrintDishChild_ParentId' and id = object_id(N'[Pos_u_PrintDishChild]')) create index [IX_Pos_u_PrintDishChild_ParentId] on [Pos_u_PrintDishChild] ([ParentId])"_s);
    EXPECT_EQ(d.primaryKeyUpgrade(),
              u"if  not exists (select * from dbo.sysobjects where id = object_id(N'[PK_Pos_u_Print]')) alter table Pos_u_PrintDish add CONSTRAINT PK_Pos_u_Print PRIMARY KEY (OrderId)"_s);

    const QStringList header = d.createPrintDishTable().split(u'\n');
    ASSERT_EQ(header.size(), 2 + 19 + 5);
    EXPECT_EQ(header[0],
              u" if not exists (select * from dbo.sysobjects where id = object_id(N'[Pos_u_PrintDish]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)"_s);
    EXPECT_EQ(header[1], u" CREATE TABLE [Pos_u_PrintDish] (  "_s);
    EXPECT_EQ(header[2], u" [PrintId] [varchar] (50) COLLATE Chinese_PRC_CI_AS NOT NULL ,"_s);
    EXPECT_EQ(header[3], u" [OrderId] [int] IDENTITY (1, 1) NOT NULL , "_s);
    EXPECT_EQ(header[5], u" [PrintTime] [datetime] NULL ,"_s);
    EXPECT_EQ(header[14], u" [InMoney] [money] NULL ,"_s);
    EXPECT_EQ(header[20], u" [TimeOutPrint] [varchar] (2) COLLATE Chinese_PRC_CI_AS NULL ,"_s);
    EXPECT_EQ(header.mid(21), (QStringList{u" CONSTRAINT [PK_Pos_u_Print] PRIMARY KEY  CLUSTERED "_s,
                                           u" ( "_s, u"   [PrintId] "_s, u" )  ON [PRIMARY]"_s,
                                           u" ) ON [PRIMARY] "_s}));

    const QStringList child = d.createPrintDishChildTable().split(u'\n');
    ASSERT_EQ(child.size(), 2 + 9 + 6);
    EXPECT_EQ(child[0],
              u" if not exists (select * from dbo.sysobjects where id = object_id(N'[Pos_u_PrintDishChild]') and OBJECTPROPERTY(id, N'IsUserTable') = 1)"_s);
    EXPECT_EQ(child[1], u" CREATE TABLE [Pos_u_PrintDishChild] ( "_s);
    EXPECT_EQ(child[2], u" [PrintId] [int] IDENTITY (1, 1) NOT NULL , "_s);
    EXPECT_EQ(child[3], u" [ParentId] [varchar] (50) COLLATE Chinese_PRC_CI_AS NOT NULL ,"_s);
    EXPECT_EQ(child[7], u" [Nums] [float] NULL ,"_s);
    EXPECT_EQ(child.mid(11), (QStringList{u" CONSTRAINT [PK_Pos_U_PrintDishChild] PRIMARY KEY  CLUSTERED "_s,
                                          u" ( "_s, u"   [PrintId], "_s, u"   [ParentId] "_s,
                                          u" )  ON [PRIMARY] "_s, u" ) ON [PRIMARY] "_s}));
}

}  // namespace
