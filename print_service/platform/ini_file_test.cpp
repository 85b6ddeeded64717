#include "platform/gbk_text.h"
#include "platform/ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

class IniFileTest : public ::testing::Test {
protected:
    QString path(const QString& name = u"Print.ini"_s) const { return dir.path() + u'/' + name; }

    void writeBytes(const QByteArray& bytes, const QString& name = u"Print.ini"_s) const
    {
        QFile file(path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    QByteArray readBytes(const QString& name = u"Print.ini"_s) const
    {
        QFile file(path(name));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir dir;
};

TEST_F(IniFileTest, ReadsLikeTheWindowsProfileFunctions)
{
    writeBytes("; comment=no\r\n"
               "stray=outside\r\n"
               "[PrintParam]\r\n"
               "  WriteLog = 1  \r\n"
               "quoted=\"a b\"\r\n"
               "noequals\r\n"
               "[printparam]\r\n"
               "later=second section of the same name is not read\r\n"
               "[Other]\n"
               "em_notprint_time=150\n");
    const struct {
        const char16_t* section;
        const char16_t* key;
        const char16_t* expected;
    } cases[] = {
        {u"PrintParam", u"WriteLog", u"1"},   {u"PRINTPARAM", u"writelog", u"1"},
        {u"PrintParam", u"quoted", u"a b"},   {u"PrintParam", u"later", u""},
        {u"PrintParam", u"stray", u""},       {u"Other", u"EM_NOTPRINT_TIME", u"150"},
        {u"PrintParam", u"missing", u""},     {u"Missing", u"WriteLog", u""},
        {u"PrintParam", u"; comment", u""},   {u"", u"WriteLog", u""},
        {u"PrintParam", u"", u""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ReadIniString(path(), QString::fromUtf16(c.section), QString::fromUtf16(c.key)),
                  QString::fromUtf16(c.expected))
            << QString::fromUtf16(c.section).toStdString() << "/"
            << QString::fromUtf16(c.key).toStdString();
    }
    EXPECT_EQ(ReadIniString(QString(), u"PrintParam"_s, u"WriteLog"_s), QString());
    EXPECT_EQ(ReadIniString(path(u"none.ini"_s), u"PrintParam"_s, u"WriteLog"_s), QString());
}

TEST_F(IniFileTest, WritesOneValueAndKeepsEveryOtherLine)
{
    const QByteArray chinese = encodeGbk(u"; 厨打设置\r\n"_s);
    writeBytes(chinese +
               "[Rmf]\r\n"
               "dcd=Reports\\80\r\n"
               "\r\n"
               "[PrintParam]\r\n"
               "WriteLog=0\r\n"
               "\r\n"
               "[Tail]\n"
               "x=1");

    WriteIniString(path(), u"printparam"_s, u"writelog"_s, u"1"_s);        // replace
    WriteIniString(path(), u"PrintParam"_s, u"ZqdPrint"_s, u"1"_s);        // new key
    WriteIniString(path(), u"branch_db"_s, u"Servername"_s, u"pos-srv"_s);  // new section

    EXPECT_EQ(readBytes(), chinese +
                               "[Rmf]\r\n"
                               "dcd=Reports\\80\r\n"
                               "\r\n"
                               "[PrintParam]\r\n"
                               "writelog=1\r\n"
                               "ZqdPrint=1\r\n"
                               "\r\n"
                               "[Tail]\r\n"
                               "x=1\r\n"
                               "[branch_db]\r\n"
                               "Servername=pos-srv\r\n");
    EXPECT_EQ(ReadIniString(path(), u"PrintParam"_s, u"WriteLog"_s), u"1"_s);
}

TEST_F(IniFileTest, ChineseTextIsGbkOnDiskAndReadsBack)
{
    const QString folder = u"Reports\\80格式\\点菜单.rmf"_s;
    EXPECT_TRUE(WriteIniValue(path(u"new.ini"_s), u"Rmf"_s, u"dcd"_s, folder));
    EXPECT_EQ(readBytes(u"new.ini"_s), "[Rmf]\r\ndcd=" + encodeGbk(folder) + "\r\n");
    EXPECT_EQ(ReadIniString(path(u"new.ini"_s), u"rmf"_s, u"DCD"_s), folder);
    // A GBK section name matches itself.
    WriteIniString(path(u"new.ini"_s), u"格式"_s, u"名称"_s, u"八十"_s);
    EXPECT_EQ(ReadIniString(path(u"new.ini"_s), u"格式"_s, u"名称"_s), u"八十"_s);
}

TEST_F(IniFileTest, FileNamesMatchWithoutRegardToCase)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(u"Reports"_s));
    writeBytes("[PrintParam]\r\nWriteLog=1\r\n", u"Reports/Print.ini"_s);
    EXPECT_EQ(ReadIniString(dir.path() + u"\\reports\\print.INI"_s, u"PrintParam"_s, u"WriteLog"_s),
              u"1"_s);
    WriteIniString(dir.path() + u"/REPORTS/PRINT.ini"_s, u"PrintParam"_s, u"WriteLog"_s, u"0"_s);
    EXPECT_EQ(readBytes(u"Reports/Print.ini"_s), "[PrintParam]\r\nWriteLog=0\r\n");
}

TEST_F(IniFileTest, FailedWritesAreReportedByTheCheckedCallOnly)
{
    EXPECT_FALSE(WriteIniValue(path(u"missing/Print.ini"_s), u"A"_s, u"k"_s, u"v"_s));
    WriteIniString(path(u"missing/Print.ini"_s), u"A"_s, u"k"_s, u"v"_s);  // silent
    EXPECT_FALSE(QFile::exists(path(u"missing/Print.ini"_s)));
    EXPECT_FALSE(WriteIniValue(path(), QString(), u"k"_s, u"v"_s));
}

TEST_F(IniFileTest, SeveralValuesGoInOneOwnerOnlyWrite)
{
    // The "User" bits repeat the owner's for the current user; they say nothing more.
    const QFileDevice::Permissions kOwnerGroupOther(0x7077);
    const QFileDevice::Permissions kOwnerOnly(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    writeBytes("; kept\r\n[branch_db]\r\nServername=old\r\nOdbcDriver=FreeTDS\r\n");
    QFile(path()).setPermissions(kOwnerOnly | QFileDevice::ReadOther | QFileDevice::ReadGroup);
    ASSERT_TRUE(WriteIniValues(path(), u"branch_db"_s,
                               {{u"Servername"_s, u"pos-srv"_s}, {u"Logpass"_s, u"秘密"_s}}));
    EXPECT_EQ(readBytes(), "; kept\r\n[branch_db]\r\nServername=pos-srv\r\nOdbcDriver=FreeTDS\r\n"
                           "Logpass=" + encodeGbk(u"秘密"_s) + "\r\n");
    EXPECT_EQ(QFile(path()).permissions() & kOwnerGroupOther, kOwnerOnly);

    // A new file is owner-only too; a failing write leaves no file and no half of one.
    ASSERT_TRUE(WriteIniValues(path(u"new.ini"_s), u"branch_db"_s, {{u"Logid"_s, u"sa"_s}}));
    EXPECT_EQ(QFile(path(u"new.ini"_s)).permissions() & kOwnerGroupOther, kOwnerOnly);
    EXPECT_FALSE(WriteIniValues(path(u"missing/x.ini"_s), u"branch_db"_s, {{u"Logid"_s, u"sa"_s}}));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files, QDir::Name | QDir::IgnoreCase),
              (QStringList{u"new.ini"_s, u"Print.ini"_s}));
}

TEST_F(IniFileTest, GarbageAndOddFilesReadAsEmpty)
{
    std::mt19937 random(7);
    QByteArray garbage;
    for (int i = 0; i < 20000; ++i)
        garbage.append(static_cast<char>(random() & 0xff));
    writeBytes(garbage);
    EXPECT_EQ(ReadIniString(path(), u"PrintParam"_s, u"WriteLog"_s), QString());

    writeBytes(QByteArray("[PrintParam]\r\nWriteLog=\xff\xfe\x81\r\n"));
    EXPECT_FALSE(ReadIniString(path(), u"PrintParam"_s, u"WriteLog"_s).isEmpty());

    ASSERT_TRUE(QDir(dir.path()).mkdir(u"folder.ini"_s));
    EXPECT_EQ(ReadIniString(path(u"folder.ini"_s), u"A"_s, u"k"_s), QString());
    EXPECT_FALSE(WriteIniValue(path(u"folder.ini"_s), u"A"_s, u"k"_s, u"v"_s));
}

}  // namespace
