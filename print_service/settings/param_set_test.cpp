#include "settings/param_set.h"
#include "platform/ini_file.h"
#include "platform/message_box.h"
#include "settings/autostart.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QPushButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

class ParamSetTest : public ::testing::Test {
  protected:
    void SetUp() override {
        appDir = home.path() + u'/';
        QDir().mkpath(appDir + u"Reports"_s);
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.path() + u"/config"_s));
        MessageBox::setHandler([this](const MessageRequest& request) {
            messages << request.caption + u": "_s + request.text;
            return true;
        });
    }
    void TearDown() override { MessageBox::setHandler({}); }

    QString stored(const QString& key) const {
        return ReadIniString(appDir + u"Reports/Print.ini"_s, u"PrintParam"_s, key);
    }
    void store(const QString& key, const QString& value) const {
        WriteIniString(appDir + u"Reports/Print.ini"_s, u"PrintParam"_s, key, value);
    }

    QTemporaryDir home;
    QString appDir;
    QStringList messages;
};

TEST_F(ParamSetTest, FreshInstallationShowsDefaultsAndSavingWritesEveryKey) {
    TFParamSet window(appDir);
    const ParamValues shown = window.shownValues();
    EXPECT_EQ(shown.value(u"cd_stakeout_refresh"_s), 3);
    EXPECT_EQ(shown.value(u"em_notprint_time"_s), 120);
    for (const QString& box : {u"AutoRun"_s, u"WriteLog"_s, u"ZqdPrint"_s, u"JqdPrint"_s,
                               u"ZqcpdPrint"_s, u"JqcpdPrint"_s})
        EXPECT_FALSE(window.findChild<QCheckBox*>(box)->isChecked()) << box.toStdString();

    window.findChild<QCheckBox*>(u"JqdPrint"_s)->setChecked(true);
    window.findChild<QSpinBox*>(u"cd_stakeout_refresh"_s)->setValue(7);
    window.findChild<QPushButton*>(u"btnSave"_s)->click();
    EXPECT_EQ(messages, QStringList{u"提示: 保存成功！请停止服务后重新启动服务生效"_s});

    QFile file(appDir + u"Reports/Print.ini"_s);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(),
              "[PrintParam]\r\nAutoRun=0\r\ncd_stakeout_refresh=7\r\nem_notprint_time=120\r\n"
              "ZqdPrint=0\r\nJqdPrint=1\r\nZqcpdPrint=0\r\nJqcpdPrint=0\r\nWriteLog=0\r\n");
    // Loaded again after saving: the window shows what is stored.
    EXPECT_EQ(window.shownValues().value(u"cd_stakeout_refresh"_s), 7);
}

TEST_F(ParamSetTest, LoadingWalkStopsAtAStoredValueThatIsNotANumber) {
    struct Case {
        QString refresh, timeOut;
        int shownRefresh, shownTimeOut;
        bool restLoaded;
    };
    const Case cases[] = {
        {u"abc"_s, u"300"_s, 3, 120, false},  // the walk ends; the corrections still apply
        {u"0"_s, u"60"_s, 3, 120, true},
        {u"-4"_s, u"121"_s, 3, 121, true},
        {u"5"_s, u"x1"_s, 5, 120, false},
        {u""_s, u""_s, 3, 120, true},  // empty leaves the design value
        {u"99999"_s, u"2.6"_s, 1000, 120, true},
    };
    for (const Case& c : cases) {
        store(u"AutoRun"_s, u"1"_s);
        store(u"cd_stakeout_refresh"_s, c.refresh);
        store(u"em_notprint_time"_s, c.timeOut);
        store(u"ZqdPrint"_s, u"1"_s);
        store(u"WriteLog"_s, u"1"_s);
        TFParamSet window(appDir);
        const ParamValues shown = window.shownValues();
        const std::string label = (c.refresh + u'/' + c.timeOut).toStdString();
        EXPECT_EQ(shown.value(u"AutoRun"_s), 1) << label;
        EXPECT_EQ(shown.value(u"cd_stakeout_refresh"_s), c.shownRefresh) << label;
        EXPECT_EQ(shown.value(u"em_notprint_time"_s), c.shownTimeOut) << label;
        EXPECT_EQ(shown.value(u"ZqdPrint"_s), c.restLoaded ? 1 : 0) << label;
        EXPECT_EQ(shown.value(u"WriteLog"_s), c.restLoaded ? 1 : 0) << label;
    }
}

TEST_F(ParamSetTest, AutostartEntryAppearsAndDisappears) {
    const QString program = u"/opt/cook hub/bin/cookhub"_s;
    const QString entry = home.path() + u"/config/autostart/sPrint.desktop"_s;
    {
        TFParamSet window(appDir, nullptr, program);
        window.findChild<QCheckBox*>(u"AutoRun"_s)->setChecked(true);
        window.findChild<QPushButton*>(u"btnSave"_s)->click();
    }
    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    file.close();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n")) << text.constData();
    EXPECT_TRUE(text.contains("\nExec=\"/opt/cook hub/bin/cookhub\"\n")) << text.constData();
    EXPECT_EQ(stored(u"AutoRun"_s), u"1"_s);

    // Unticked removes it, also when another copy of the program wrote it.
    ASSERT_TRUE(writeAutostartEntry(u"/elsewhere/cookhub"_s));
    TFParamSet window(appDir, nullptr, program);
    EXPECT_TRUE(window.findChild<QCheckBox*>(u"AutoRun"_s)->isChecked());
    window.findChild<QCheckBox*>(u"AutoRun"_s)->setChecked(false);
    window.findChild<QPushButton*>(u"btnSave"_s)->click();
    EXPECT_FALSE(QFile::exists(entry));
    EXPECT_EQ(stored(u"AutoRun"_s), u"0"_s);
}

TEST(AutostartEntry, ExecQuotesPathsAsDesktopEntriesRequire) {
    const std::pair<QString, QString> cases[] = {
        {u"/usr/bin/cookhub"_s, u"/usr/bin/cookhub"_s},
        {u"/opt/my apps/cookhub"_s, u"\"/opt/my apps/cookhub\""_s},
        {u"/opt/a\"b$c/cookhub"_s, u"\"/opt/a\\\\\"b\\\\$c/cookhub\""_s},
        {u"/opt/100%/cookhub"_s, u"/opt/100%%/cookhub"_s},
        {u"/opt/back\\slash"_s, u"\"/opt/back\\\\\\\\slash\""_s},
    };
    for (const auto& [path, exec] : cases)
        EXPECT_EQ(desktopExecArgument(path), exec) << path.toStdString();
}

}  // namespace
