// The renderers: golden ESC/POS bytes of a small ticket, the text rendering's
// placement, and PDF pages that carry the ticket's text at the paper's width.
#include "renderers.h"
#include "text_cells.h"

#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub::report;

namespace {

Report smallTicket(const QByteArray& report)
{
    ParseError error;
    const auto tmpl = parseTemplate(report + R"(
[header]
text big bold center | {标题}
text | 桌号:{桌号}
[detail]
cols tall | *: {DishName} | 6>: {Nums:qty}{DishUnit}
[footer]
text right | {操作员}
)",
                                    u"small.rmf"_s, &error);
    EXPECT_TRUE(tmpl) << error.toString().toStdString();
    Report ticket;
    ticket.setTemplate(tmpl.value_or(Template{}));
    ticket.setVariable(u"标题"_s, u"'退菜单'");
    ticket.setVariable(u"桌号"_s, u"'A8'");
    ticket.setVariable(u"操作员"_s, u"'张三'");
    ticket.setRows({ReportRow{{u"DishName"_s, u"鱼"_s}, {u"Nums"_s, 1.5}, {u"DishUnit"_s, u"份"_s}}});
    return ticket;
}

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray out;
    for (const int v : values)
        out.append(static_cast<char>(v));
    return out;
}

// Runs a poppler tool; empty output when it is missing or fails.
QString poppler(const QString& tool, const QByteArray& pdf, const QStringList& arguments)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(u"ticket.pdf"_s);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(pdf) != pdf.size())
        return {};
    file.close();
    QProcess process;
    QStringList all = arguments;
    all.append(path);
    if (tool.endsWith(u"pdftotext"_s))
        all.append(u"-"_s);
    process.start(tool, all);
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return {};
    return QString::fromUtf8(process.readAllStandardOutput());
}

}  // namespace

TEST(RenderEscPos, GoldenBytesOfASmallTicket)
{
    const PreparedTicket ticket = smallTicket("[report]\npaper = 58\ncut = partial\nfeed = 3\nbuzzer = 1\n").prepare();
    const QByteArray expected = bytes({0x1b, 0x40, 0x1c, 0x26, 0x1b, 0x42, 0x01, 0x02})
        // 退菜单: centred, double width and height, bold
        + bytes({0x1b, 0x61, 0x01, 0x1d, 0x21, 0x11, 0x1b, 0x45, 0x01, 0xcd, 0xcb, 0xb2, 0xcb, 0xb5, 0xa5, 0x0a})
        // 桌号:A8 back to left, normal, not bold
        + bytes({0x1b, 0x61, 0x00, 0x1d, 0x21, 0x00, 0x1b, 0x45, 0x00, 0xd7, 0xc0, 0xba, 0xc5}) + "\x3a\x41\x38\n"
        // 鱼 ... 1.5份 at double height: 26 + 6 cells
        + bytes({0x1d, 0x21, 0x01, 0xd3, 0xe3}) + QByteArray(25, ' ') + "1.5" + bytes({0xb7, 0xdd, 0x0a})
        // 张三 right aligned
        + bytes({0x1b, 0x61, 0x02, 0x1d, 0x21, 0x00, 0xd5, 0xc5, 0xc8, 0xfd, 0x0a})
        // feed 3, partial cut
        + bytes({0x1b, 0x64, 0x03, 0x1d, 0x56, 0x01});
    EXPECT_EQ(renderEscPos(ticket).toHex(' '), expected.toHex(' '));
}

TEST(RenderEscPos, CopiesCutAndNoBuzzer)
{
    const QByteArray once = renderEscPos(smallTicket("[report]\ncut = none\nfeed = 0\n").prepare());
    EXPECT_FALSE(once.contains("\x1b\x42"));
    EXPECT_FALSE(once.contains("\x1d\x56"));
    EXPECT_FALSE(once.contains("\x1b\x64"));

    const QByteArray twice = renderEscPos(smallTicket("[report]\ncopies = 2\ncut = full\nbuzzer = 3\n").prepare());
    EXPECT_EQ(twice.count("\x1b\x40"), 2);
    EXPECT_EQ(twice.count(QByteArray("\x1d\x56\x00", 3)), 2);
    EXPECT_EQ(twice.count(QByteArray("\x1b\x42\x03\x02", 4)), 1) << "the buzzer sounds once per ticket";
    EXPECT_TRUE(renderEscPos(PreparedTicket{}).isEmpty());
}

TEST(RenderText, LinesPlacedAsOnPaper)
{
    const QString text = QString::fromUtf8(renderText(smallTicket("[report]\npaper = 58\ncopies = 2\n").prepare()));
    const QStringList copies = text.split(u'\f');
    ASSERT_EQ(copies.size(), 2);
    EXPECT_EQ(copies[0], copies[1]);
    const QStringList lines = copies[0].split(u'\n');
    ASSERT_EQ(lines.size(), 5);
    // A double-width title of 6 cells spans 12 of the 32 columns, centred.
    EXPECT_EQ(lines[0], QString(10, u' ') + u"退菜单"_s);
    EXPECT_EQ(lines[1], u"桌号:A8"_s);
    EXPECT_EQ(lines[2], u"鱼"_s + QString(25, u' ') + u"1.5份"_s);
    EXPECT_EQ(lines[3], QString(28, u' ') + u"张三"_s);
    EXPECT_EQ(lines[4], QString());
    EXPECT_TRUE(renderText(PreparedTicket{}).isEmpty());
}

TEST(RenderPdf, PagesCarryTheTextAtThePaperWidth)
{
    const QString pdftotext = QStandardPaths::findExecutable(u"pdftotext"_s);
    const QString pdfinfo = QStandardPaths::findExecutable(u"pdfinfo"_s);
    if (pdftotext.isEmpty() || pdfinfo.isEmpty())
        GTEST_SKIP() << "poppler-utils is not installed (scripts/setup.sh installs it)";

    const struct {
        QByteArray report;
        double widthPoints;
        int pages;
    } cases[] = {
        {"[report]\npaper = 80\n", 80 / 25.4 * 72, 1},
        {"[report]\npaper = 58\ncopies = 2\n", 58 / 25.4 * 72, 2},
    };
    for (const auto& c : cases) {
        const QByteArray pdf = renderPdf(smallTicket(c.report).prepare());
        ASSERT_TRUE(pdf.startsWith("%PDF-"));
        // Glyphs sit on the printer's cell grid, so the extracted spacing is not the
        // ticket's; compare the characters.
        QString text = poppler(pdftotext, pdf, {u"-enc"_s, u"UTF-8"_s});
        text.remove(QRegularExpression(u"\\s"_s));
        for (const char16_t* expected : {u"退菜单", u"桌号:A8", u"鱼1.5份", u"张三"})
            EXPECT_TRUE(text.contains(QString::fromUtf16(expected))) << text.toStdString();

        const QString info = poppler(pdfinfo, pdf, {});
        const QRegularExpressionMatch size = QRegularExpression(u"Page size:\\s+([0-9.]+) x ([0-9.]+)"_s).match(info);
        ASSERT_TRUE(size.hasMatch()) << info.toStdString();
        EXPECT_NEAR(size.captured(1).toDouble(), c.widthPoints, 1.0);
        // Fitted to the content: four lines (one of them double height) and margins.
        EXPECT_LT(size.captured(2).toDouble(), 50 / 25.4 * 72);
        EXPECT_TRUE(info.contains(QRegularExpression(u"Pages:\\s+%1\\n"_s.arg(c.pages)))) << info.toStdString();
    }
    EXPECT_TRUE(renderPdf(PreparedTicket{}).isEmpty());
}
