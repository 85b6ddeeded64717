#include "service/utility.h"
#include "platform/ini_file.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

void touch(const QString& path) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
}

TEST(ConnectionSettings, TheFileIsChosenByWhatExists) {
    const struct {
        bool tessik;
        bool rolmav;
        const char16_t* chosen;
    } cases[] = {
        {true, true, u"tessik9.ini"},
        {false, true, u"rolmav3.ini"},
        {false, false, u"rolmav3.ini"},
        {true, false, u"tessik9.ini"},
    };
    for (const auto& c : cases) {
        QTemporaryDir dir;
        const QString home = dir.path() + u'/';
        if (c.tessik)
            touch(home + u"tessik9.ini"_s);
        if (c.rolmav)
            touch(home + u"rolmav3.ini"_s);
        EXPECT_EQ(chooseConnectionIni(home), QString::fromUtf16(c.chosen));
    }
}

TEST(ConnectionSettings, ConnectionStringKeepsTheCommaOfAnEmptyPort) {
    QTemporaryDir dir;
    const QString ini = dir.path() + u"/rolmav3.ini"_s;
    WriteIniString(ini, u"branch_db"_s, u"Servername"_s, u"pos-server"_s);
    WriteIniString(ini, u"branch_db"_s, u"Database"_s, u"pos"_s);
    WriteIniString(ini, u"branch_db"_s, u"Logid"_s, u"sa"_s);
    WriteIniString(ini, u"branch_db"_s, u"Logpass"_s, u"secret"_s);
    EXPECT_EQ(
        BranchDbSettings::read(ini).connectionString(),
        u"Provider=SQLOLEDB.1;Password=secret;Persist Security Info=True;User ID=sa; Initial Catalog=pos;Data Source=pos-server,"_s);

    WriteIniString(ini, u"branch_db"_s, u"SQLPort"_s, u"1433"_s);
    WriteIniString(ini, u"branch_db"_s, u"OdbcDriver"_s, u"ODBC Driver 18 for SQL Server"_s);
    EXPECT_EQ(
        BranchDbSettings::read(ini).connectionString(),
        u"Provider=SQLOLEDB.1;Password=secret;Persist Security Info=True;User ID=sa; Initial Catalog=pos;Data Source=pos-server,1433;Odbc Driver=ODBC Driver 18 for SQL Server"_s);

    // A missing file reads as all-empty values.
    EXPECT_EQ(
        BranchDbSettings::read(dir.path() + u"/none.ini"_s).connectionString(),
        u"Provider=SQLOLEDB.1;Password=;Persist Security Info=True;User ID=; Initial Catalog=;Data Source=,"_s);
}

TEST(ServiceFolders, ReportsDirectoryAndVersion) {
    EXPECT_EQ(resolveReportsDir(u"/opt/ck/"_s, QString()), u"/opt/ck/Reports"_s);
    EXPECT_EQ(resolveReportsDir(u"/opt/ck/"_s, u"80格式"_s), u"/opt/ck/80格式"_s);
    EXPECT_EQ(resolveReportsDir(u"/opt/ck/"_s, u"D:\\rmf"_s), u"D:\\rmf"_s);
    EXPECT_EQ(FileVersionText(), u"1.0.1.21"_s);
}

}  // namespace
