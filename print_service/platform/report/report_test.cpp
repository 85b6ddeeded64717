// The report object: values from the worker's expression texts, number formats, rows
// bound by column name, the layout of a prepared ticket and when it prepares no page.
#include "report.h"
#include "text_cells.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub::report;

namespace {

Template parsed(const QByteArray& text)
{
    ParseError error;
    auto tmpl = parseTemplate(text, u"test.rmf"_s, &error);
    EXPECT_TRUE(tmpl) << error.toString().toStdString();
    return tmpl.value_or(Template{});
}

QStringList texts(const PreparedTicket& ticket)
{
    QStringList lines;
    for (const PreparedLine& line : ticket.lines)
        lines.append(line.text);
    return lines;
}

ReportRow dish(const QString& name, double nums, const QString& unit, const QString& memo = {})
{
    return ReportRow{{u"DishName"_s, name}, {u"Nums"_s, nums}, {u"DishUnit"_s, unit}, {u"vch_print_memo"_s, memo}};
}

}  // namespace

TEST(ReportValues, ExpressionTextsAsTheWorkerSendsThem)
{
    const struct {
        const char16_t* expression;
        const char16_t* value;
    } cases[] = {
        {u"'A01'", u"A01"},
        {u"  '大厅 1'  ", u"大厅 1"},
        {u"''", u""},
        {u"'O''Brien'", u"O'Brien"},
        {u"''''", u"'"},
        {u"'a' + 'b'", u"ab"},
        {u"\"双引号\"", u"双引号"},
        {u"'unterminated", u"unterminated"},
        {u"'a' b", u"'a' b"},  // not a literal expression: shown as sent
        {u"'a' +", u"'a' +"},
        {u"12.5", u"12.5"},
        {u"  plain  ", u"plain"},
        {u"", u""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(expressionValue(QStringView(c.expression)), QString::fromUtf16(c.value))
            << QString::fromUtf16(c.expression).toStdString();
}

TEST(ReportValues, NumberFormats)
{
    const struct {
        QVariant value;
        NumberFormat format;
        const char16_t* text;
    } cases[] = {
        {1.5, NumberFormat::Quantity, u"1.5"},
        {2.0, NumberFormat::Quantity, u"2"},
        {0.3333333, NumberFormat::Quantity, u"0.333"},
        {-0.0001, NumberFormat::Quantity, u"0"},
        {10.0, NumberFormat::Plain, u"10"},
        {0.1 + 0.2, NumberFormat::Plain, u"0.3"},
        {12.5, NumberFormat::Money, u"12.50"},
        {-0.001, NumberFormat::Money, u"0.00"},
        {2.6, NumberFormat::Integer, u"3"},
        {3, NumberFormat::Money, u"3.00"},
        {3, NumberFormat::Quantity, u"3"},
        {u"2.50"_s, NumberFormat::Quantity, u"2.5"},  // variables arrive as text
        {u"2.50"_s, NumberFormat::Plain, u"2.50"},
        {u"半份"_s, NumberFormat::Quantity, u"半份"},
        {u"nan"_s, NumberFormat::Money, u"nan"},
        {std::numeric_limits<double>::infinity(), NumberFormat::Quantity, u""},
        {QVariant(), NumberFormat::Quantity, u""},
        {QDateTime(QDate(2024, 3, 5), QTime(18, 7, 9)), NumberFormat::Plain, u"2024-03-05 18:07:09"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(formatValue(c.value, c.format), QString::fromUtf16(c.text)) << c.value.toString().toStdString();
}

TEST(ReportRows, ColumnsMatchWithoutCaseAndKeepTheirOrder)
{
    ReportRow row{{u"DishName"_s, u"鱼香肉丝"_s}, {u"ch_oldtableName"_s, u"A1"_s}};
    row.set(u"DISHNAME"_s, u"水煮鱼"_s);
    row.set(u"Nums"_s, 2);
    EXPECT_EQ(row.value(u"dishname").toString(), u"水煮鱼"_s);
    EXPECT_EQ(row.value(u"CH_OLDTABLENAME").toString(), u"A1"_s);
    EXPECT_FALSE(row.value(u"vch_reason").isValid());
    ASSERT_EQ(row.columns().size(), 3);
    EXPECT_EQ(row.columns()[0].first, u"DishName"_s);
    EXPECT_EQ(row.columns()[2].first, u"Nums"_s);
}

TEST(ReportRows, FromAQueryResult)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(u"QSQLITE"_s, u"report_rows"_s);
    db.setDatabaseName(u":memory:"_s);
    ASSERT_TRUE(db.open());
    {
        QSqlQuery query(db);
        ASSERT_TRUE(query.exec(u"create table c (DishName varchar(200), Nums float, vch_print_memo varchar(200))"_s));
        ASSERT_TRUE(query.exec(u"insert into c values ('宫保鸡丁', 1.5, '少辣'), ('米饭', 2, null)"_s));
        ASSERT_TRUE(query.exec(u"select * from c order by Nums"_s));
        // A walked query is read again from its first row.
        query.next();
        query.next();
        const QList<ReportRow> rows = rowsFromQuery(query);
        ASSERT_EQ(rows.size(), 2);
        EXPECT_EQ(rows[0].value(u"dishname").toString(), u"宫保鸡丁"_s);
        EXPECT_EQ(formatValue(rows[1].value(u"NUMS"), NumberFormat::Quantity), u"2"_s);
        EXPECT_TRUE(rows[1].value(u"vch_print_memo").isNull());

        ASSERT_TRUE(query.exec(u"delete from c"_s));
        EXPECT_TRUE(rowsFromQuery(query).isEmpty());
        QSqlQuery unused(db);
        EXPECT_TRUE(rowsFromQuery(unused).isEmpty());
    }
    db.close();
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(u"report_rows"_s);
}

TEST(ReportPrepare, FillsBandsFromVariablesAndRows)
{
    Report report;
    report.setTemplate(parsed(R"([header]
text | 桌:{桌号} 首菜:{DishName}
[detail]
cols | *: {DishName} | 8>: {Nums:qty}{DishUnit}
text if=vch_print_memo |   备注:{vch_print_memo}
text if=num_AddPrice |   加价:{num_AddPrice:money}
text unless=vch_print_memo |   (无备注)
[footer]
text | 操作员:{操作员}{nosuchname}
)"));
    report.setVariable(u"桌号"_s, u"'A01'");
    report.setVariable(u"操作员"_s, u"'O''Neil'");
    ReportRow first = dish(u"宫保鸡丁"_s, 1.5, u"份"_s, u"少辣"_s);
    first.set(u"num_AddPrice"_s, 3.0);
    ReportRow second = dish(u"米饭"_s, 2, u"碗"_s, u"  "_s);
    second.set(u"num_AddPrice"_s, 0.0);
    report.setRows({first, second});
    EXPECT_EQ(texts(report.prepare()), (QStringList{
                                            u"桌:A01 首菜:宫保鸡丁"_s,
                                            u"宫保鸡丁"_s + QString(35, u' ') + u"1.5份"_s,
                                            u"  备注:少辣"_s,
                                            u"  加价:3.00"_s,
                                            u"米饭"_s + QString(41, u' ') + u"2碗"_s,
                                            u"  (无备注)"_s,
                                            u"操作员:O'Neil"_s,
                                        }));
}

TEST(ReportPrepare, PreparesNoPageWhenThereIsNothingToPrint)
{
    Report report;
    EXPECT_TRUE(report.prepare().isEmpty()) << "no template";

    report.setTemplate(parsed("[header]\ntext big | {标题}\n[detail]\ncols | *: {DishName} | 6>: {Nums:qty}\n"));
    report.setVariable(u"标题"_s, u"'点菜单'");
    EXPECT_TRUE(report.prepare().isEmpty()) << "a detail band without rows";
    report.setRows({dish(u"米饭"_s, 1, u"碗"_s)});
    EXPECT_FALSE(report.prepare().isEmpty());

    report.setTemplate(parsed("[header]\ntext if=标题 | {标题}\nfeed 3\n"));
    EXPECT_FALSE(report.prepare().isEmpty()) << "no detail band: the header alone is the page";
    report.setValue(u"标题"_s, QString());
    EXPECT_TRUE(report.prepare().isEmpty()) << "only blank lines left";

    // A failed load must not leave the previous kind's template behind.
    QTemporaryDir dir;
    EXPECT_FALSE(report.loadFromFile(dir.filePath(u"none.rmf"_s)));
    EXPECT_FALSE(report.hasTemplate());
    EXPECT_TRUE(report.prepare().isEmpty());
}

TEST(ReportPrepare, VariablesMatchWithoutCase)
{
    Report report;
    report.setTemplate(parsed("[header]\ntext | {title}/{TITLE}\n"));
    report.setVariable(u"Title"_s, u"'x'");
    EXPECT_EQ(texts(report.prepare()), QStringList{u"x/x"_s});
}

// Chinese characters take two cells: a column never receives half of one, and 58 mm
// paper wraps where 80 mm does not.
TEST(ReportPrepare, CjkWidthInColumnsOnBothPapers)
{
    const QByteArray body = "[detail]\ncols | *: {DishName} | 7>: {Nums:qty}{DishUnit}\ncols clip | 5: {DishName} | *:\n";
    Report report;
    report.setRows({dish(u"剁椒鱼头配手工面条加一份米饭AB"_s, 1, u"份"_s)});

    report.setTemplate(parsed("[report]\npaper = 80\n" + body));
    const PreparedTicket wide = report.prepare();
    ASSERT_EQ(wide.lines.size(), 2);
    EXPECT_EQ(wide.lines[0].text, u"剁椒鱼头配手工面条加一份米饭AB"_s + QString(15, u' ') + u"1份"_s);
    EXPECT_EQ(textCells(wide.lines[0].text), 48);
    // 5 cells hold two characters and one space, never half of the third.
    EXPECT_EQ(wide.lines[1].text, u"剁椒"_s);

    report.setTemplate(parsed("[report]\npaper = 58\n" + body));
    const PreparedTicket narrow = report.prepare();
    EXPECT_EQ(narrow.columns, 32);
    ASSERT_EQ(narrow.lines.size(), 3);
    EXPECT_EQ(narrow.lines[0].text, u"剁椒鱼头配手工面条加一份"_s + QString(5, u' ') + u"1份"_s);
    EXPECT_EQ(narrow.lines[1].text, u"米饭AB"_s);
    for (const PreparedLine& line : narrow.lines)
        EXPECT_LE(textCells(line.text), 32);

    // Double width halves the cells of a line: 24 on 80 mm.
    report.setTemplate(parsed("[header]\ntext wide | {桌号}\n"));
    report.setValue(u"桌号"_s, u"一二三四五六七八九十一二三"_s);
    EXPECT_EQ(texts(report.prepare()), (QStringList{u"一二三四五六七八九十一二"_s, u"三"_s}));
}

// Ticket data reaches a raw printer: control bytes in it must not become commands, and
// text the printer cannot show keeps its two cells.
TEST(ReportPrepare, DataCannotInjectPrinterCommands)
{
    EXPECT_EQ(printableText(u"少\x1b@辣\x1dV\x01\t\r\n"), u"少 @辣 V    "_s);
    EXPECT_EQ(printableText(u"鸡🍗翅\u0e01"), u"鸡？翅？"_s);
    EXPECT_EQ(printableText(u"ab\xd800"), u"ab？"_s);  // a lone surrogate
    EXPECT_EQ(textCells(printableText(u"鸡🍗A")), 5);
}
