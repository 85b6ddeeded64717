#include "engine/templates.h"

#include "platform/ini_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

TEST(Templates, TitlesCodesAndFolders)
{
    const struct {
        const char16_t* title;
        const char16_t* code;
    } cases[] = {
        {u"点菜单", u"dcd"},       {u"出品单", u"cpd"},          {u"催菜单", u"ccd"},
        {u"即起单", u"jqd"},       {u"叫起单", u"zqd"},          {u"退菜单", u"tcd"},
        {u"即起出品单", u"jqcpd"}, {u"叫起出品单", u"zqcpd"},    {u"转台出品单", u"ztcpd"},
        {u"菜品转台出品单", u"cpztcpd"}, {u"退菜出品单", u"tccpd"},
        {u"特别要求单", u"dcd"},   {u"点菜单(外卖)", u"dcd"},    {u"别的单", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(templateCode(QString::fromUtf16(c.title)), QString::fromUtf16(c.code));

    EXPECT_EQ(templateFolder(u"/opt/ck/"_s, u"[80格式]"_s), u"/opt/ck/Reports\\80格式"_s);
    EXPECT_EQ(templateFolder(u"/opt/ck/"_s, u"xD:\\fmty"_s), u"Reports\\D:\\fmt"_s);
    EXPECT_EQ(templateFolder(u"/opt/ck/"_s, QString()), QString());
}

TEST(Templates, LookupChainFromTitleToLoadedFile)
{
    QTemporaryDir dir;
    const QString home = dir.path() + u'/';
    QDir().mkpath(home + u"Reports/80格式"_s);
    QFile rmf(home + u"Reports/80格式/order.rmf"_s);
    ASSERT_TRUE(rmf.open(QIODevice::WriteOnly));
    rmf.write("[header]\ntext | {标题}\n");
    rmf.close();
    const QString folder = templateFolder(home, u"[80格式]"_s);
    const QString ini = folder + u"\\Print.ini"_s;
    WriteIniString(ini, u"Rmf"_s, u"dcd"_s, u"Reports\\80格式\\order.rmf"_s);
    WriteIniString(ini, u"Rmf"_s, u"ccd"_s, u"reports\\80格式\\ORDER"_s);  // no extension, other case
    WriteIniString(ini, u"Rmf"_s, u"tcd"_s, u"Reports\\80格式\\missing.rmf"_s);
    WriteIniString(ini, u"Rmf"_s, u"cpd"_s,
                   u"\\Reports\\80格式\\order.rmf"_s);  // below the home too

    QStringList messages;
    const ShowMessage show = [&](const QString& text) { messages << text; };
    report::Report report;
    EXPECT_TRUE(LoadTemplate(home, u"点菜单"_s, folder, report, show));
    EXPECT_TRUE(report.hasTemplate());
    EXPECT_TRUE(LoadTemplate(home, u"特别要求单"_s, folder, report, show));
    EXPECT_FALSE(LoadTemplate(home, u"退菜单"_s, folder, report, show));
    EXPECT_TRUE(LoadTemplate(home, u"出品单"_s, folder, report, show));
    EXPECT_FALSE(LoadTemplate(home, u"即起单"_s, folder, report, show)) << "no jqd key";
    EXPECT_TRUE(messages.isEmpty()) << "only the transfer ticket says why it waits";
    EXPECT_FALSE(LoadTemplate(home, u"转台出品单"_s, folder, report, show));
    EXPECT_EQ(messages, QStringList{u"转台出品单打印格式不能为空,或设置有误，请设置好打印格式！"_s});
}

}  // namespace
