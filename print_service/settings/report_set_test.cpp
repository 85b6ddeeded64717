// The format settings: what opening shows, what "保存" writes and keeps, and the lists
// that must not grow. Real files in a temporary program folder.
#include "settings/report_set.h"
#include "platform/ini_file.h"
#include "platform/message_box.h"
#include "settings/report_set_window.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

void touch(const QString& path, const QByteArray& bytes = "[footer]\ntext | x\n") {
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

class ReportSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(home.isValid());
        app = home.path() + u'/';
        touch(app + u"Reports/80格式/dcd.rmf"_s);
        touch(app + u"Reports/80格式/big.RMF"_s);
        touch(app + u"Reports/80格式/notes.txt"_s);
        // Settings files are GBK on disk: written the way the program writes them.
        WriteIniString(app + u"Reports/80格式/Print.ini"_s, u"Rmf"_s, u"dcd"_s,
                       u"Reports\\80格式\\dcd.rmf"_s);
        touch(app + u"Reports/58格式/small.rmf"_s);
        touch(app + u"Reports/top.rmf"_s);
        QDir().mkpath(app + u"Reports/old.bak"_s);
        QDir().mkpath(app + u"elsewhere"_s);
        touch(app + u"elsewhere/other.rmf"_s);
        MessageBox::setHandler([this](const MessageRequest& request) {
            boxes << request.caption + u": "_s + request.text;
            return true;
        });
    }
    void TearDown() override { MessageBox::setHandler({}); }

    QString ini(const QString& file, const QString& key) const {
        return ReadIniString(app + file, u"Rmf"_s, key);
    }

    QTemporaryDir home;
    QString app;
    QStringList boxes;
};

TEST_F(ReportSetTest, OpeningShowsBlankRowsAndTheFoldersWithoutADot) {
    TFReportSet window(app, u"rolmav3.ini"_s);
    window.appendTemplateNames(app + u"elsewhere"_s);
    window.setFormatFolders(formatFolderNames(app));

    EXPECT_EQ(window.model().formatDir(), app + u"Reports"_s);
    EXPECT_EQ(window.chooser()->currentIndex(), -1);
    QStringList folders;
    for (int i = 0; i < window.chooser()->count(); ++i) folders << window.chooser()->itemText(i);
    EXPECT_EQ(folders, (QStringList{u"58格式"_s, u"80格式"_s}));
    for (int row = 0; row < kTemplateKindCount; ++row) {
        EXPECT_TRUE(window.row(row)->currentText().isEmpty()) << row;
        ASSERT_EQ(window.row(row)->count(), 3);
        EXPECT_EQ(window.row(row)->itemText(0), kNoTemplate);
        EXPECT_EQ(window.row(row)->itemText(1), u"top.rmf"_s);
        EXPECT_EQ(window.row(row)->itemText(2), u"other.rmf"_s);
    }
}

TEST_F(ReportSetTest, ChoosingAFolderShowsItsTemplatesAndRefillsNeverGrow) {
    TFReportSet window(app, u"rolmav3.ini"_s);
    window.appendTemplateNames(app + u"elsewhere"_s);
    window.setFormatFolders(formatFolderNames(app));
    for (const QString& folder : {u"80格式"_s, u"58格式"_s, u"80格式"_s, u"80格式"_s}) {
        window.chooser()->setCurrentText(folder);
        window.GetPrintIniFile();  // the same refill twice in a row must not add either
    }
    const QStringList expected{kNoTemplate, u"big.RMF"_s, u"dcd.rmf"_s};
    for (int row = 0; row < kTemplateKindCount; ++row) {
        QStringList items;
        for (int i = 0; i < window.row(row)->count(); ++i) items << window.row(row)->itemText(i);
        EXPECT_EQ(items, expected) << row;
    }
    EXPECT_EQ(window.row(0)->currentText(),
              u"dcd.rmf"_s);  // the file-name part of the stored value
    EXPECT_TRUE(window.row(1)->currentText().isEmpty());
    EXPECT_EQ(window.model().designerFile(0), app + u"Reports/80格式/dcd.rmf"_s);
}

TEST_F(ReportSetTest, SaveWritesOnlyRowsWhoseFileIsInTheChosenFolder) {
    ReportSetModel model(app, u"rolmav3.ini"_s);
    model.GetPrintIniFile(u"80格式"_s);
    model.appendTemplateNames(app + u"elsewhere"_s);
    model.setRowText(0, kNoTemplate);       // dcd: keeps what was stored
    model.setRowText(1, u"big.RMF"_s);      // cpd: written
    model.setRowText(2, u"missing.rmf"_s);  // ccd: typed, not in the folder
    model.setRowText(3, u"other.rmf"_s);    // jqd: from ReportsDir, not in this folder
    model.setRowText(4, QString());         // zqd: empty

    const auto result = model.save();
    EXPECT_TRUE(result.ok());
    EXPECT_EQ(result.writtenKeys, QStringList{u"cpd"_s});
    const QString printIni = u"Reports/80格式/Print.ini"_s;
    EXPECT_EQ(ini(printIni, u"dcd"_s), u"Reports\\80格式\\dcd.rmf"_s);
    EXPECT_EQ(ini(printIni, u"cpd"_s), u"Reports\\80格式\\big.RMF"_s);
    for (const QString& key : {u"ccd"_s, u"jqd"_s, u"zqd"_s})
        EXPECT_TRUE(ini(printIni, key).isEmpty()) << key.toStdString();
    EXPECT_EQ(ini(u"rolmav3.ini"_s, u"Directory"_s), u"80格式"_s);
    // Saving shows the folder as stored again, "不需要" included.
    EXPECT_EQ(model.rowTexts()[0], u"dcd.rmf"_s);
}

TEST_F(ReportSetTest, SaveWithNoFolderChosenWritesIntoTheReportsFolderItself) {
    WriteIniString(app + u"rolmav3.ini"_s, u"Rmf"_s, u"Directory"_s, u"80格式"_s);
    TFReportSet window(app, u"rolmav3.ini"_s);
    window.row(5)->setEditText(u"top.rmf"_s);
    window.btnSaveClick();

    EXPECT_EQ(ini(u"Reports/Print.ini"_s, u"tcd"_s), u"Reports\\\\top.rmf"_s);
    EXPECT_TRUE(ini(u"rolmav3.ini"_s, u"Directory"_s).isEmpty());
    QFile connection(app + u"rolmav3.ini"_s);
    ASSERT_TRUE(connection.open(QIODevice::ReadOnly));
    EXPECT_TRUE(connection.readAll().contains("Directory=\r\n"));
    EXPECT_EQ(boxes, QStringList{u"提示: 保存成功！请停止服务后重新启动服务生效"_s});
}

TEST_F(ReportSetTest, AFailedWriteIsReportedInsteadOfSuccess) {
    QFile::remove(app + u"Reports/80格式/Print.ini"_s);
    QDir().mkpath(app + u"Reports/80格式/Print.ini"_s);  // a folder where the file must go
    TFReportSet window(app, u"rolmav3.ini"_s);
    window.setFormatFolders(formatFolderNames(app));
    window.chooser()->setCurrentText(u"80格式"_s);
    window.row(0)->setEditText(u"dcd.rmf"_s);
    window.btnSaveClick();
    ASSERT_EQ(boxes.size(), 1);
    EXPECT_TRUE(boxes[0].startsWith(u"警告: 保存失败"_s)) << boxes[0].toStdString();
    EXPECT_TRUE(boxes[0].contains(u"Print.ini"_s));
}

TEST_F(ReportSetTest, DesignOpensTheRowsFileWithRmfAppended) {
    TFReportSet window(app, u"rolmav3.ini"_s);
    window.setFormatFolders(formatFolderNames(app));
    window.chooser()->setCurrentText(u"80格式"_s);
    QStringList opened;
    window.setDesignerOpener(
        [&](QWidget*, const QString& file, const QString& title) { opened << file << title; });
    window.row(1)->setEditText(u"dcd"_s);
    window.btnDesignClick(1);
    window.row(2)->setEditText(kNoTemplate);
    window.btnDesignClick(2);
    EXPECT_EQ(opened, (QStringList{app + u"Reports/80格式/dcd.rmf"_s, u"出品单"_s, QString(),
                                   u"催菜单"_s}));
}

}  // namespace
