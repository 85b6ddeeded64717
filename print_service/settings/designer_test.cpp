// The template designer: the preview follows edits, a parse error is shown with its
// place and keeps both the last good preview and the good file, a save round trip
// prints the same ticket, and the ESC/POS picture reads the bytes as a printer would.
#include "platform/message_box.h"
#include "platform/report/renderers.h"
#include "settings/designer_window.h"
#include "settings/escpos_picture.h"
#include "settings/sample_ticket.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

const QByteArray kTemplate = R"([report]
paper = 58

[header]
text big bold center | {标题}
text | 桌号 {桌号} {桌名}

[detail]
cols tall | *: {DishName} | 8>: {Nums:qty}{DishUnit}
text if=ch_dish_barcode |   规格: {ch_dish_barcode}
text bold if=vch_print_memo |   备注: {vch_print_memo}
text if=num_AddPrice |   加价: {num_AddPrice:money}
text if=vch_reason |   原因: {vch_reason}

[footer]
text | {操作员} {合计金额:money}
text | {开单时间}
)";

QByteArray readAll(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QString paperText(const PaperRoll& roll) {
    QString text;
    for (const PaperLine& line : roll.lines) {
        for (const PaperSegment& segment : line.segments) text += segment.text;
        text += u'\n';
    }
    return text;
}

class DesignerTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        path = dir.filePath(u"dcd.rmf"_s);
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(kTemplate);
        file.close();
        MessageBox::setHandler([this](const MessageRequest& request) {
            boxes << request.text;
            return answer;
        });
    }
    void TearDown() override { MessageBox::setHandler({}); }

    QTemporaryDir dir;
    QString path;
    QStringList boxes;
    bool answer = false;
};

TEST_F(DesignerTest, TheSampleTicketShowsEveryKindOfDishLine) {
    TFDesigner designer(path, u"退菜单"_s);
    ASSERT_TRUE(designer.preview().parsed());
    const QString paper = paperText(interpretEscPos(designer.preview().escPos()));
    for (const QString& expected :
         {u"退菜单"_s, u"桌号 A08 牡丹厅"_s, u"(退)干煸四季豆"_s, u"原因: 上菜太慢"_s,
          u"备注: 少辣,多放葱花"_s, u"规格: 大份"_s, u"加价: 5.00"_s, u"王小明"_s,
          u"2024-03-05 18:07:09"_s, u"236.00"_s})
        EXPECT_TRUE(paper.contains(expected)) << expected.toStdString() << "\n"
                                              << paper.toStdString();
    EXPECT_EQ(designer.thermalImage().width(), 58 * 8);
    EXPECT_FALSE(designer.pdfImage().isNull());
}

TEST_F(DesignerTest, AnEditChangesThePreviewAfterAShortPause) {
    TFDesigner designer(path, u"点菜单"_s);
    const QImage before = designer.thermalImage();
    QString text = designer.editor()->toPlainText();
    text.replace(u"text | 桌号"_s, u"text big | 桌号"_s);
    designer.editor()->setPlainText(text);
    QTRY_VERIFY_WITH_TIMEOUT(designer.thermalImage() != before, 2000);

    const PaperRoll roll = interpretEscPos(designer.preview().escPos());
    const auto table =
        std::find_if(roll.lines.begin(), roll.lines.end(), [](const PaperLine& line) {
            return !line.segments.isEmpty() && line.segments[0].text.startsWith(u"桌号"_s);
        });
    ASSERT_NE(table, roll.lines.end());
    EXPECT_EQ(table->segments[0].widthScale, 2);
    EXPECT_EQ(table->segments[0].heightScale, 2);
}

TEST_F(DesignerTest, AParseErrorIsShownAndNeitherPreviewNorGoodFileIsLost) {
    TFDesigner designer(path, u"点菜单"_s);
    const QByteArray escPos = designer.preview().escPos();
    const QImage picture = designer.thermalImage();
    QString text = designer.editor()->toPlainText();
    text.replace(u"text | 桌号"_s, u"text huge | 桌号"_s);
    designer.editor()->setPlainText(text);
    designer.refreshNow();

    EXPECT_TRUE(designer.errorText().contains(u"第 6 行，第 6 列"_s))
        << designer.errorText().toStdString();
    EXPECT_TRUE(designer.errorText().contains(u"huge"_s));
    EXPECT_EQ(designer.preview().escPos(), escPos);
    EXPECT_EQ(designer.thermalImage(), picture);

    designer.goToError();
    EXPECT_EQ(designer.editor()->textCursor().blockNumber(), 5);
    EXPECT_EQ(designer.editor()->textCursor().positionInBlock(), 5);

    answer = false;  // the user keeps the good file
    EXPECT_FALSE(designer.save());
    EXPECT_EQ(boxes.size(), 1);
    EXPECT_EQ(readAll(path), kTemplate);

    answer = true;  // the user insists
    EXPECT_TRUE(designer.save());
    EXPECT_EQ(readAll(path), text.toUtf8());
}

TEST_F(DesignerTest, ASaveRoundTripPrintsTheSameTicket) {
    const QString copy = dir.filePath(u"new.rmf"_s);
    QByteArray bytes;
    {
        TFDesigner designer(path, u"出品单"_s);
        designer.editor()->setPlainText(designer.editor()->toPlainText() + u"rule | =\n"_s);
        designer.refreshNow();
        bytes = designer.preview().escPos();
        // Saved under a new name through the same path "另存为" takes.
        TFDesigner other(copy, u"出品单"_s);
        other.editor()->setPlainText(designer.editor()->toPlainText());
        ASSERT_TRUE(other.save());
        EXPECT_TRUE(other.statusText().contains(copy));
    }
    report::Report reloaded;
    ASSERT_TRUE(reloaded.loadFromFile(copy));
    fillSampleTicket(&reloaded, u"出品单"_s);
    EXPECT_EQ(report::renderEscPos(reloaded.prepare()), bytes);
    TFDesigner again(copy, u"出品单"_s);
    EXPECT_EQ(again.preview().escPos(), bytes);
}

TEST_F(DesignerTest, AMissingFileOpensEmptyAndTheStarterMakesATicket) {
    const QString fresh = dir.filePath(u"new.rmf"_s);
    TFDesigner designer(fresh, u"点菜单"_s);
    EXPECT_TRUE(designer.editor()->toPlainText().isEmpty());
    EXPECT_FALSE(designer.preview().hasPreview());
    EXPECT_FALSE(designer.errorText().isEmpty());

    auto* lines = designer.findChild<QListWidget*>(u"lineList"_s);
    ASSERT_TRUE(lines);
    Q_EMIT lines->itemActivated(lines->item(0));
    designer.refreshNow();
    ASSERT_TRUE(designer.preview().parsed()) << designer.errorText().toStdString();
    EXPECT_TRUE(paperText(interpretEscPos(designer.preview().escPos())).contains(u"桌号 A08"_s));
    EXPECT_FALSE(QFile::exists(fresh));  // nothing is written before "保存"
    ASSERT_TRUE(designer.save());
    EXPECT_EQ(readAll(fresh), starterTemplate().toUtf8());
}

TEST_F(DesignerTest, AFileThatCannotBeReadWholeIsNeverSavedOver) {
    const QString folder = dir.filePath(u"folder.rmf"_s);
    ASSERT_TRUE(QDir().mkpath(folder));
    const QString gbk = dir.filePath(u"gbk.rmf"_s);
    {
        QFile file(gbk);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[header]\ntext | \xd7\xc0\xba\xc5\n");  // 桌号 in GBK
    }
    EXPECT_EQ(loadTemplateText(dir.filePath(u"none.rmf"_s)).outcome,
              TemplateLoad::Outcome::Missing);
    EXPECT_EQ(loadTemplateText(folder).outcome, TemplateLoad::Outcome::Unreadable);
    const TemplateLoad load = loadTemplateText(gbk);
    EXPECT_EQ(load.outcome, TemplateLoad::Outcome::Loaded);
    EXPECT_FALSE(load.utf8);

    TFDesigner designer(folder, u"点菜单"_s);
    EXPECT_TRUE(designer.file().isEmpty());  // "保存" asks for another file
    EXPECT_TRUE(designer.statusText().contains(u"无法打开"_s));
    TFDesigner warned(gbk, u"点菜单"_s);
    EXPECT_TRUE(warned.statusText().contains(u"UTF-8"_s));
}

TEST(EscPosPicture, ReadsCommandsAsAPrinterDoes) {
    // Literals hold NUL bytes, so each keeps its own length.
#define BYTES(text) QByteArray(text, sizeof(text) - 1)
    const QByteArray bytes = BYTES(
                                 "\x1b@\x1c&\x1b"
                                 "B\x03\x02") +
                             BYTES(
                                 "\x1b"
                                 "a\x01\x1d!\x11\x1b"
                                 "E\x01\xd7\xc0\xba\xc5 A8\n")  // 桌号 A8
                             + BYTES(
                                   "\x1b"
                                   "a\x00\x1d!\x00\x1b"
                                   "E\x00"
                                   "x"
                                   "\x1b"
                                   "E\x01"
                                   "y\n") +
                             BYTES(
                                 "\x1b"
                                 "d\x04\x1dV\x01") +
                             BYTES("\x1bZ\x1d");  // unknown, then cut off
#undef BYTES
    const PaperRoll roll = interpretEscPos(bytes);
    EXPECT_EQ(roll.beeps, 3);
    EXPECT_EQ(roll.unknownCommands, 1);
    ASSERT_EQ(roll.lines.size(), 4);
    const PaperLine& title = roll.lines[0];
    EXPECT_EQ(title.align, 1);
    ASSERT_EQ(title.segments.size(), 1);
    EXPECT_EQ(title.segments[0].text, u"桌号 A8"_s);
    EXPECT_TRUE(title.segments[0].bold);
    EXPECT_EQ(PaperRoll::cells(title.segments[0]), 14);  // 2 + 2 + 1 + 1 + 1 cells, doubled
    ASSERT_EQ(roll.lines[1].segments.size(), 2);         // bold changes inside the line
    EXPECT_FALSE(roll.lines[1].segments[0].bold);
    EXPECT_TRUE(roll.lines[1].segments[1].bold);
    EXPECT_EQ(roll.lines[2].kind, PaperLine::Kind::Feed);
    EXPECT_EQ(roll.lines[2].feedLines, 4);
    EXPECT_EQ(roll.lines[3].kind, PaperLine::Kind::Cut);
    EXPECT_FALSE(roll.lines[3].fullCut);
}

}  // namespace
