// The ESC/POS and text renderers work in a process without any Qt application object
// (the printing pass may run them on its worker thread); the PDF renderer, which needs
// one, declines instead of crashing.
#include "renderers.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub::report;

TEST(WithoutApplication, EscPosAndTextRenderPdfDeclines)
{
    ASSERT_EQ(QCoreApplication::instance(), nullptr);
    Report report;
    ASSERT_TRUE(report.loadFromFile(QString::fromUtf8(COOKHUB_REPORTS_SOURCE_DIR) + u"/58格式/dcd.rmf"_s))
        << report.lastError().toString().toStdString();
    report.setVariable(u"标题"_s, u"'点菜单'");
    report.setRows({ReportRow{{u"DishName"_s, u"宫保鸡丁"_s}, {u"Nums"_s, 2}, {u"DishUnit"_s, u"份"_s}}});
    const PreparedTicket ticket = report.prepare();
    const QByteArray escPos = renderEscPos(ticket);
    EXPECT_TRUE(escPos.startsWith("\x1b@\x1c&"));
    EXPECT_TRUE(escPos.contains("\xb9\xac\xb1\xa3\xbc\xa6\xb6\xa1"));  // 宫保鸡丁 in GBK
    EXPECT_TRUE(QString::fromUtf8(renderText(ticket)).contains(u"宫保鸡丁"_s));
    EXPECT_TRUE(renderPdf(ticket).isEmpty());
}
