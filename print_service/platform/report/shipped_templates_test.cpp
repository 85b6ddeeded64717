// The default templates shipped in Reports/80格式 and Reports/58格式: every code of
// each folder's Print.ini names a template that parses, fits its paper and prints a
// full sample ticket with what a kitchen needs to see.
#include "renderers.h"
#include "text_cells.h"

#include "platform/app_paths.h"
#include "platform/gbk_text.h"
#include "platform/ini_file.h"

#include <QDir>
#include <QFile>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub::report;

namespace {

const QString kSource = QString::fromUtf8(COOKHUB_REPORTS_SOURCE_DIR);

struct Kind {
    const char16_t* code;
    const char16_t* title;
};

constexpr Kind kKinds[] = {
    {u"dcd", u"点菜单"},         {u"cpd", u"出品单"},         {u"ccd", u"催菜单"},
    {u"jqd", u"即起单"},         {u"zqd", u"叫起单"},         {u"tcd", u"退菜单"},
    {u"jqcpd", u"即起出品单"},   {u"zqcpd", u"叫起出品单"},   {u"ztcpd", u"转台出品单"},
    {u"cpztcpd", u"菜品转台出品单"}, {u"tccpd", u"退菜出品单"},
};

// A ticket as the printing pass fills it, with every optional part present.
void fillSample(Report* report, const QString& title)
{
    const std::pair<const char16_t*, const char16_t*> variables[] = {
        {u"桌号", u"'A08'"},       {u"桌名", u"'牡丹厅_2'"},   {u"旧桌号", u"'B12'"},
        {u"旧桌名", u"'荷花厅'"},  {u"厨打名称", u"'热菜档口'"}, {u"单号", u"'B202403050017'"},
        {u"开单时间", u"'2024-03-05 18:07:09'"},               {u"合计金额", u"'128.5'"},
        {u"实收金额", u"'118.5'"}, {u"赠送金额", u"'10'"},      {u"操作员", u"'王小明'"},
    };
    for (const auto& [name, expression] : variables)
        report->setVariable(QString::fromUtf16(name), QStringView(expression));
    report->setVariable(u"标题"_s, QString(u'\'' + title + u'\''));
    report->setRows({
        ReportRow{{u"DishName"_s, u"剁椒鱼头配手工面条加量不加价"_s}, {u"DishUnit"_s, u"例"_s}, {u"Nums"_s, 1.5},
                  {u"num_price"_s, 88.0}, {u"vch_print_memo"_s, u"少辣,多放葱花,不要香菜"_s},
                  {u"vch_reason"_s, u"客人催了两次"_s}, {u"ch_dish_barcode"_s, u"大份"_s},
                  {u"num_AddPrice"_s, 5.0}, {u"ch_oldtableno"_s, u"B12"_s}, {u"ch_oldtableName"_s, u"荷花厅"_s}},
        ReportRow{{u"DishName"_s, u"米饭"_s}, {u"DishUnit"_s, u"碗"_s}, {u"Nums"_s, 2.0}, {u"num_price"_s, 2.0},
                  {u"vch_print_memo"_s, QString()}, {u"vch_reason"_s, QVariant()}, {u"ch_dish_barcode"_s, QString()},
                  {u"num_AddPrice"_s, 0.0}},
    });
}

class ShippedTemplates : public ::testing::TestWithParam<int> {};

}  // namespace

TEST_P(ShippedTemplates, EveryCodeParsesAndPrintsAGoodTicket)
{
    const int paper = GetParam();
    const QString folder = u"%1格式"_s.arg(paper);
    const QString ini = kSource + u'/' + folder + u"/Print.ini"_s;
    for (const Kind& kind : kKinds) {
        const QString code = QString::fromUtf16(kind.code);
        const QString title = QString::fromUtf16(kind.title);
        SCOPED_TRACE((folder + u' ' + code).toStdString());
        const QString stored = cookhub::ReadIniString(ini, u"Rmf"_s, code);
        ASSERT_TRUE(stored.startsWith(u"Reports\\"_s + folder + u'\\')) << stored.toStdString();
        ASSERT_TRUE(stored.endsWith(u".rmf"_s));

        // The stored path is relative to the program folder, whose Reports is this source.
        Report report;
        ASSERT_TRUE(report.loadFromFile(cookhub::resolveStoredPath(kSource + u"/../"_s, stored)))
            << report.lastError().toString().toStdString();
        EXPECT_EQ(report.currentTemplate()->paperMm, paper);
        EXPECT_TRUE(report.currentTemplate()->hasDetail);
        EXPECT_TRUE(report.prepare().isEmpty()) << "no dish rows: no page";

        fillSample(&report, title);
        const PreparedTicket ticket = report.prepare();
        ASSERT_FALSE(ticket.isEmpty());
        for (const PreparedLine& line : ticket.lines)
            EXPECT_LE(textCells(line.text) * (isWide(line.size) ? 2 : 1), ticket.columns) << line.text.toStdString();

        const QString text = QString::fromUtf8(renderText(ticket));
        // The title large, at the top.
        ASSERT_FALSE(ticket.lines.isEmpty());
        EXPECT_EQ(ticket.lines.front().text, title);
        EXPECT_EQ(ticket.lines.front().size, TextSize::Double);
        for (const char16_t* needed : {u"A08", u"牡丹厅_2", u"B202403050017", u"王小明", u"2024-03-05 18:07:09",
                                       u"剁椒鱼头", u"1.5例", u"2碗", u"大份", u"少辣,多放葱花", u"热菜档口"})
            EXPECT_TRUE(text.contains(QString::fromUtf16(needed))) << QString::fromUtf16(needed).toStdString() << "\n"
                                                                   << text.toStdString();
        // Nothing of an empty remark or reason shows under the rice.
        EXPECT_EQ(text.count(u"备注"_s), 1) << text.toStdString();

        const bool transfer = code == u"ztcpd" || code == u"cpztcpd";
        const bool giveBack = code == u"tcd" || code == u"tccpd";
        if (transfer) {
            EXPECT_TRUE(text.contains(u"B12"_s) && text.contains(u"荷花厅"_s)) << text.toStdString();
        }
        EXPECT_TRUE(text.contains(u"客人催了两次"_s)) << "the reason shows";
        if (giveBack) {
            // The return is unmistakable: a large banner and the quantity marked.
            bool banner = false;
            for (const PreparedLine& line : ticket.lines)
                banner = banner || (line.size == TextSize::Double && line.text.contains(u"退"_s) && line.text != title);
            EXPECT_TRUE(banner);
            EXPECT_TRUE(text.contains(u"退1.5例"_s)) << text.toStdString();
        }

        EXPECT_FALSE(renderEscPos(ticket).isEmpty());
        EXPECT_TRUE(renderPdf(ticket).startsWith("%PDF-"));
    }
}

INSTANTIATE_TEST_SUITE_P(BothPapers, ShippedTemplates, ::testing::Values(80, 58),
                         [](const ::testing::TestParamInfo<int>& info) { return "paper" + std::to_string(info.param); });

// Print.ini is written as the settings window writes it: GBK, CR LF.
TEST(ShippedTemplates, PrintIniIsGbkWithCrLf)
{
    for (const int paper : {80, 58}) {
        QFile file(kSource + u"/%1格式/Print.ini"_s.arg(paper));
        ASSERT_TRUE(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        EXPECT_EQ(bytes.count('\n'), bytes.count("\r\n"));
        EXPECT_TRUE(bytes.contains(cookhub::encodeGbk(u"Reports\\%1格式\\"_s.arg(paper))));
        EXPECT_FALSE(bytes.contains(u"格式"_s.toUtf8()));
    }
}
