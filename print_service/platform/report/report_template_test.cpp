// The ".rmf" format: a full template read back, every kind of error with its file and
// line, and random or mutated bytes that must give a template or an error, never a
// crash.
#include "report_template.h"
#include "renderers.h"
#include "report.h"
#include "text_cells.h"

#include <QRandomGenerator>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub::report;

namespace {

const QByteArray kGoodTemplate = R"(# order ticket
[report]
paper = 58
copies = 2
cut = full
feed = 3
buzzer = 2

[header]
text big bold center | {标题}
rule | =
cols | *: 桌号 {桌号} | 12>: {单号}

[detail]
cols tall | *: {DishName} | 8>: {Nums:qty}{DishUnit}
text if=vch_print_memo unless=vch_reason |   备注: {vch_print_memo}
feed 2

[footer]
text right | {{操作员}}: {操作员} {合计金额:money}
)";

}  // namespace

TEST(ReportTemplate, ReadsEveryPartOfAGoodFile) {
    ParseError error;
    const auto tmpl = parseTemplate(kGoodTemplate, u"dcd.rmf"_s, &error);
    ASSERT_TRUE(tmpl) << error.toString().toStdString();
    EXPECT_EQ(tmpl->paperMm, 58);
    EXPECT_EQ(tmpl->columns, kColumns58mm);
    EXPECT_EQ(tmpl->copies, 2);
    EXPECT_EQ(tmpl->cut, CutMode::Full);
    EXPECT_EQ(tmpl->feedBeforeCut, 3);
    EXPECT_EQ(tmpl->buzzer, 2);
    EXPECT_TRUE(tmpl->hasDetail);
    ASSERT_EQ(tmpl->header.size(), 3);
    ASSERT_EQ(tmpl->detail.size(), 3);
    ASSERT_EQ(tmpl->footer.size(), 1);

    const LineSpec& title = tmpl->header[0];
    EXPECT_EQ(title.size, TextSize::Double);
    EXPECT_TRUE(title.bold);
    EXPECT_EQ(title.align, Align::Center);
    ASSERT_EQ(title.pattern.size(), 1);
    EXPECT_TRUE(title.pattern[0].isField);
    EXPECT_EQ(title.pattern[0].text, u"标题"_s);

    const LineSpec& dish = tmpl->detail[0];
    EXPECT_EQ(dish.kind, LineSpec::Kind::Columns);
    EXPECT_EQ(dish.size, TextSize::DoubleHeight);
    ASSERT_EQ(dish.cells.size(), 2);
    EXPECT_EQ(dish.cells[0].width, 0);
    EXPECT_EQ(dish.cells[1].width, 8);
    EXPECT_EQ(dish.cells[1].align, Align::Right);
    ASSERT_EQ(dish.cells[1].pattern.size(), 2);
    EXPECT_EQ(dish.cells[1].pattern[0].format, NumberFormat::Quantity);

    const LineSpec& remark = tmpl->detail[1];
    ASSERT_EQ(remark.conditions.size(), 2);
    EXPECT_FALSE(remark.conditions[0].whenEmpty);
    EXPECT_TRUE(remark.conditions[1].whenEmpty);
    // One space after the bar is the separator; the rest is the text's own indent.
    EXPECT_EQ(remark.pattern[0].text, u"  备注: "_s);
    EXPECT_EQ(tmpl->detail[2].feedLines, 2);
    EXPECT_EQ(tmpl->detail[2].sourceLine, 17);

    const Pattern& footer = tmpl->footer[0].pattern;
    EXPECT_EQ(footer[0].text, u"{操作员}: "_s);
    EXPECT_EQ(footer.back().format, NumberFormat::Money);
}

TEST(ReportTemplate, CrLfBomAndColumnsOverride) {
    const QByteArray text =
        "\xEF\xBB\xBF[report]\r\npaper = 80mm\r\ncolumns = 42\r\n[footer]\r\ntext | x\r\n";
    ParseError error;
    const auto tmpl = parseTemplate(text, u"t.rmf"_s, &error);
    ASSERT_TRUE(tmpl) << error.toString().toStdString();
    EXPECT_EQ(tmpl->paperMm, 80);
    EXPECT_EQ(tmpl->columns, 42);
    EXPECT_FALSE(tmpl->hasDetail);
    EXPECT_EQ(tmpl->footer[0].pattern[0].text, u"x"_s);
}

struct ErrorCase {
    const char* name;
    QByteArray text;
    int line;
    const char16_t* message;  // a part of the message
    int column;               // where an editor puts the cursor; 0 for the whole file
};

void PrintTo(const ErrorCase& c, std::ostream* os) {
    *os << c.name;
}

class ReportTemplateErrors : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(ReportTemplateErrors, NameFileLineAndCause) {
    const ErrorCase& c = GetParam();
    ParseError error;
    EXPECT_FALSE(parseTemplate(c.text, u"Reports/80格式/bad.rmf"_s, &error));
    EXPECT_EQ(error.file, u"Reports/80格式/bad.rmf"_s);
    EXPECT_EQ(error.line, c.line);
    EXPECT_EQ(error.column, c.column);
    EXPECT_TRUE(error.message.contains(QString::fromUtf16(c.message)))
        << error.toString().toStdString();
    if (c.line > 0) {
        EXPECT_TRUE(error.toString().startsWith(u"Reports/80格式/bad.rmf:%1: "_s.arg(c.line)));
    }
}

INSTANTIATE_TEST_SUITE_P(
    AllKinds, ReportTemplateErrors,
    ::testing::Values(
        ErrorCase{"LineBeforeSection", "text | a\n", 1, u"before the first section", 1},
        ErrorCase{"UnknownSection", "[header]\n[page]\n", 2, u"unknown section [page]", 1},
        ErrorCase{"SectionTwice", "[header]\n[detail]\n[header]\n", 3, u"given twice", 1},
        ErrorCase{"UnclosedSection", "[header\n", 1, u"not closed", 1},
        ErrorCase{"UnknownKind", "[header]\nline | a\n", 2, u"unknown line kind \"line\"", 1},
        ErrorCase{"UnknownOption", "[header]\n\ntext huge | a\n", 3, u"unknown option \"huge\"", 6},
        ErrorCase{"EmptyCondition", "[detail]\ntext if= | a\n", 2, u"needs a field name", 6},
        ErrorCase{"TextWithoutBar", "[header]\ntext bold\n", 2, u"\"|\" missing", 1},
        ErrorCase{"UnclosedField", "[header]\ntext | {桌号\n", 2, u"not closed", 8},
        ErrorCase{"StrayBrace", "[header]\ntext | a}b\n", 2, u"\"}\" without \"{\"", 9},
        ErrorCase{"EmptyField", "[header]\ntext | {:qty}\n", 2, u"without a name", 8},
        ErrorCase{"UnknownFormat", "[detail]\ntext | {Nums:pct}\n", 2,
                  u"unknown number format \"pct\"", 14},
        ErrorCase{"CellWithoutWidth", "[detail]\ncols | {DishName}\n", 2, u"needs a width", 8},
        ErrorCase{"CellWidthOne", "[detail]\ncols | *: a | 1: b\n", 2, u"cell width \"1\"", 15},
        ErrorCase{"TwoStarCells", "[detail]\ncols | *: a | *: b\n", 2, u"only one cell", 15},
        // Known to be too wide only once [report] at the end gives 58 mm paper.
        ErrorCase{"CellsTooWide", "[detail]\ncols | *: a | 40: b\n[report]\npaper = 58\n", 2,
                  u"need 42 columns, the line has 32", 1},
        ErrorCase{"WideCellsTooWide", "[detail]\ncols wide | *: a | 24: b\n", 2,
                  u"need 26 columns, the line has 24", 1},
        ErrorCase{"FeedNotANumber", "[detail]\nfeed x\n", 2, u"feed takes one number", 6},
        ErrorCase{"FeedWithText", "[detail]\nfeed 2 | a\n", 2, u"feed takes no text", 8},
        ErrorCase{"ReportWithoutEquals", "[report]\npaper 80\n", 2, u"key = value", 1},
        ErrorCase{"BadPaper", "[report]\npaper = 76\n", 2, u"paper must be 80 or 58", 9},
        ErrorCase{"ColumnsOutOfRange", "[report]\ncolumns = 500\n", 2, u"columns must be", 11},
        ErrorCase{"CopiesZero", "[report]\ncopies = 0\n", 2, u"copies must be", 10},
        ErrorCase{"BadCut", "[report]\ncut = half\n", 2, u"cut must be", 7},
        ErrorCase{"UnknownKey", "[report]\ncolour = red\n", 2, u"unknown key \"colour\"", 1},
        ErrorCase{"NotUtf8", "[header]\ntext | a\ntext | \xd7\xc0\xba\xc5\n", 3, u"not UTF-8", 8},
        ErrorCase{"ControlCharacter", "[header]\ntext | a\x1b@\n", 2, u"control character", 9},
        ErrorCase{"NoBand", "# nothing\n[report]\npaper = 80\n", 0,
                  u"no [header], [detail] or [footer]", 0}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST(ReportTemplate, UnreadableFileIsAnErrorOfTheWholeFile) {
    QTemporaryDir dir;
    const QString path = dir.filePath(u"missing.rmf"_s);
    ParseError error;
    EXPECT_FALSE(loadTemplateFile(path, &error));
    EXPECT_EQ(error.file, path);
    EXPECT_EQ(error.line, 0);
    EXPECT_FALSE(error.message.isEmpty());
}

// Random bytes, and the good template with bytes flipped, inserted and deleted: every
// input gives a template (which then prepares and renders) or a located error.
TEST(ReportTemplate, AnyBytesGiveATemplateOrAnError) {
    QRandomGenerator random(20240611);
    const QByteArray alphabet = "[]{}|:*<>^=#\n\r -_01289abcdefghilmnoprstuwxyqz\\";
    Report report;
    report.setRows({ReportRow{
        {u"DishName"_s, u"宫保鸡丁"_s}, {u"Nums"_s, 1.5}, {u"vch_print_memo"_s, u"少辣"_s}}});
    report.setVariable(u"标题"_s, u"'点菜单'");
    int parsed = 0;
    for (int round = 0; round < 3000; ++round) {
        QByteArray input;
        if (round % 3 == 0) {
            const int length = static_cast<int>(random.bounded(200));
            for (int i = 0; i < length; ++i)
                input.append(round % 2
                                 ? static_cast<char>(random.bounded(256))
                                 : alphabet[static_cast<int>(random.bounded(alphabet.size()))]);
        } else {
            input = kGoodTemplate;
            const int edits = 1 + static_cast<int>(random.bounded(4));
            for (int e = 0; e < edits; ++e) {
                const int at = static_cast<int>(random.bounded(input.size()));
                const char c = alphabet[static_cast<int>(random.bounded(alphabet.size()))];
                switch (random.bounded(3)) {
                    case 0:
                        input[at] = c;
                        break;
                    case 1:
                        input.insert(at, c);
                        break;
                    default:
                        input.remove(at, 1);
                        break;
                }
            }
        }
        ParseError error;
        const auto tmpl = parseTemplate(input, u"fuzz.rmf"_s, &error);
        if (!tmpl) {
            EXPECT_FALSE(error.message.isEmpty());
            EXPECT_GE(error.line, 0);
            EXPECT_LE(error.line, input.count('\n') + 1);
            continue;
        }
        ++parsed;
        report.setTemplate(*tmpl);
        const PreparedTicket ticket = report.prepare();
        for (const PreparedLine& line : ticket.lines)
            EXPECT_LE(textCells(line.text) * (isWide(line.size) ? 2 : 1), tmpl->columns);
        renderEscPos(ticket);
        renderText(ticket);
    }
    EXPECT_GT(parsed, 100);  // the mutations must also reach the layout
}
