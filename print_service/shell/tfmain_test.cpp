#include "engine/test_support/pos_database.h"
#include "platform/database.h"
#include "platform/message_box.h"
#include "shell/tfmain.h"
#include "shell/utility.h"

#include <QSignalSpy>
#include <QSqlQuery>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

class RecordingThreads final : public ServiceThreads {
public:
    void startWorker(const RunToken& token) override
    {
        ++attempts;
        if (failWorker)
            throw std::runtime_error("worker creation failed");
        workers.push_back(token);
        if (workerBeats)
            workerBeats();  // as a real worker does at once
    }
    void startMonitor(const RunToken& token) override { monitors.push_back(token); }

    bool failWorker = false;
    int attempts = 0;
    std::function<void()> workerBeats;
    std::vector<RunToken> workers;
    std::vector<RunToken> monitors;
};

class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        threads.workerBeats = [this] { state.beat(clock.now()); };
        MessageBox::setHandler([this](const MessageRequest& request) {
            messages << request.caption + u": "_s + request.text;
            return answer;
        });
    }
    void TearDown() override
    {
        window.reset();
        MessageBox::setHandler({});
    }

    void open(test::PosHome::Content content = test::PosHome::Content::SchemaAndSeed)
    {
        home = std::make_unique<test::PosHome>(content);
        state.appDir = home->appDir();
        state.connectionIni = chooseConnectionIni(state.appDir);
        window = std::make_unique<TFMain>(state, clock, threads);
    }

    QToolButton* button(const char* name) const
    {
        return window->findChild<QToolButton*>(QLatin1String(name));
    }

    ServiceState state;
    ManualClock clock{QDateTime(QDate(2026, 12, 11), QTime(12, 0))};
    RecordingThreads threads;
    std::unique_ptr<test::PosHome> home;
    std::unique_ptr<TFMain> window;
    QStringList messages;
    bool answer = true;
};

TEST_F(MainWindowTest, StartAndStopSwitchTheServiceState)
{
    open();
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_EQ(clock.sleptMilliseconds(), 1000);  // ConnectDatabase's wait

    window->btnBeginClick();
    EXPECT_FALSE(button("btnBegin")->isEnabled());
    EXPECT_TRUE(button("btnEnd")->isEnabled());
    EXPECT_EQ(state.runFlag(), u"Y"_s);
    ASSERT_EQ(threads.workers.size(), 1u);
    ASSERT_EQ(threads.monitors.size(), 1u);
    EXPECT_TRUE(threads.workers[0].running());
    EXPECT_EQ(state.reportsDir, home->appDir() + u"Reports"_s);
    EXPECT_EQ(clock.sleptMilliseconds(), 4000);

    state.printList.setFault(u"hot-kitchen"_s, true);
    state.printList.setBackup(0, u"hot-kitchen"_s, u"spare"_s, 1);
    window->btnEndClick();
    EXPECT_TRUE(button("btnBegin")->isEnabled());
    EXPECT_FALSE(button("btnEnd")->isEnabled());
    EXPECT_EQ(state.runFlag(), u"N"_s);
    EXPECT_FALSE(threads.workers[0].running());
    ASSERT_EQ(state.printList.size(), 1u);
    EXPECT_TRUE(state.printList.snapshot()[0].BackupName.isEmpty());
    EXPECT_EQ(clock.sleptMilliseconds(), 7000);

    // Start empties the printer list again.
    window->btnBeginClick();
    EXPECT_EQ(state.printList.size(), 0u);
    EXPECT_EQ(threads.workers.size(), 2u);
}

TEST_F(MainWindowTest, ExitAsksAndCancelKeepsEverything)
{
    open();
    window->btnBeginClick();
    QSignalSpy exits(window.get(), &TFMain::exitRequested);

    answer = false;
    window->btn_ExitClick();
    EXPECT_EQ(messages, QStringList{u"提示: 退出厨打监控会导致前台的点菜单不能打印，确定退出吗？"_s});
    EXPECT_EQ(exits.count(), 0);
    EXPECT_TRUE(window->isServiceRunning());
    EXPECT_TRUE(window->trayIcon()->isVisible());

    answer = true;
    window->btn_ExitClick();
    EXPECT_EQ(exits.count(), 1);
    EXPECT_FALSE(window->isServiceRunning());
    EXPECT_EQ(state.runFlag(), u"N"_s);
    EXPECT_FALSE(window->trayIcon()->isVisible());
}

TEST_F(MainWindowTest, WatchdogRestartsAStalledWorkerOnlyWhileRunning)
{
    open();
    window->btnBeginClick();
    ASSERT_EQ(threads.workers.size(), 1u);

    state.beat(clock.now());
    clock.advance(119 * 1000);
    window->tmr1Timer();
    EXPECT_EQ(threads.workers.size(), 1u) << "a heartbeat younger than two minutes";

    clock.advance(2 * 1000);
    window->tmr1Timer();
    ASSERT_EQ(threads.workers.size(), 2u);
    EXPECT_FALSE(threads.workers[0].running()) << "the stalled worker must not work on";
    EXPECT_TRUE(threads.workers[1].running());

    window->btnEndClick();
    clock.advance(10 * 60 * 1000);
    window->tmr1Timer();
    EXPECT_EQ(threads.workers.size(), 2u) << "no restart while stopped";
}

TEST_F(MainWindowTest, FailedWorkerCreationLeavesTheMonitorUnmadeAndTheWatchdogToRetry)
{
    open();
    threads.failWorker = true;
    window->btnBeginClick();
    EXPECT_TRUE(threads.monitors.empty());
    EXPECT_TRUE(window->isServiceRunning());

    threads.failWorker = false;
    clock.advance(121 * 1000);
    window->tmr1Timer();
    EXPECT_EQ(threads.workers.size(), 1u);
    EXPECT_EQ(threads.monitors.size(), 1u);
}

// No worker beats for a Start that could not make one: the watchdog tries again at
// the next tick, then less often while it keeps failing.
TEST_F(MainWindowTest, AFailedStartIsRetriedSoonThenLessOften) {
    open();
    threads.failWorker = true;
    window->btnBeginClick();  // ends 3 s later, after its wait
    ASSERT_EQ(threads.attempts, 1);
    const struct {
        int seconds;  // clock advance before the tick
        int attempts;
    } ticks[] = {{3, 2}, {3, 2}, {3, 3}, {3, 3}, {6, 3}, {3, 4}, {21, 4}, {3, 5}};
    for (const auto& t : ticks) {
        clock.advance(t.seconds * 1000);
        window->tmr1Timer();
        EXPECT_EQ(threads.attempts, t.attempts) << "after " << t.seconds << " s";
    }

    threads.failWorker = false;
    clock.advance(120 * 1000);
    window->tmr1Timer();
    EXPECT_EQ(threads.workers.size(), 1u);
    EXPECT_EQ(threads.monitors.size(), 1u);
    window->tmr1Timer();
    EXPECT_EQ(threads.workers.size(), 1u) << "the new worker beats";
}

TEST_F(MainWindowTest, DatabaseDownAtStartUpLeavesTheServiceStopped)
{
    open(test::PosHome::Content::Empty);
    EXPECT_EQ(messages, QStringList{u"警告: 连接不上数据库！请关闭软件并重启软件后再启动"_s});
    EXPECT_FALSE(window->isServiceRunning());
    EXPECT_EQ(state.runFlag(), u"N"_s);

    state.printList.setFault(u"hot-kitchen"_s, false);
    messages.clear();
    window->btnBeginClick();  // hidden window: no message
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_TRUE(threads.workers.empty());
    EXPECT_TRUE(button("btnBegin")->isEnabled());
    EXPECT_EQ(state.printList.size(), 0u);

    window->show();
    window->btnBeginClick();
    EXPECT_EQ(messages, QStringList{u"警告: 连接不上数据库！"_s});
    EXPECT_TRUE(threads.workers.empty());
}

TEST_F(MainWindowTest, SettingsWindowsNeedTheServiceStopped)
{
    open();
    window->btnBeginClick();

    answer = false;
    EXPECT_FALSE(window->stopForSettings(true));
    EXPECT_TRUE(window->isServiceRunning());
    EXPECT_EQ(messages, QStringList{u"提示: 厨打已经启动，必须停止服务后才能进行设置，确定停止服务设置吗？"_s});

    answer = true;
    EXPECT_TRUE(window->stopForSettings(true));
    EXPECT_FALSE(window->isServiceRunning());

    window->btnBeginClick();
    messages.clear();
    EXPECT_TRUE(window->stopForSettings(false));  // the connection dialog does not ask
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(window->isServiceRunning());
}

TEST_F(MainWindowTest, FirstShowCreatesTheQueueAndCountsTheDay)
{
    open();
    window->FormShow();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    QSqlQuery q(QSqlDatabase::database(kMainConnection));
    ASSERT_TRUE(q.exec(u"select vch_value from pos_sys_parameter where vch_parameter='PrintVer'"_s));
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toString(), u"1.0.1.21"_s);
    q.finish();

    // Seed: yesterday's day close, fourteen unprinted lines ordered minutes ago, no
    // tickets yet. The counts run to the real time, so this clock is not used for them.
    clock.set(QDateTime::currentDateTime());
    window->GetPrintInfo();
    EXPECT_EQ(window->statusPanelText(), u" 已打印：0;未打印：14 "_s);
    EXPECT_TRUE(state.businessDayStart().endsWith(u" 23:30:00"_s));

    ASSERT_TRUE(home->exec(u"delete from pos_u_day_sumup"_s));
    window->GetPrintInfo();
    EXPECT_EQ(state.businessDayStart(), u"1899-12-30 00:00:00"_s);
}

TEST_F(MainWindowTest, PanelShowsNetworkStationsWithTheirStateAndBackup)
{
    open();
    window->btnBeginClick();
    state.setStatusText(u" 已打印：3;未打印：1 "_s);
    state.printList.setFault(u"hot-kitchen"_s, true);  // ip 127.0.0.1:9101
    state.printList.setFault(u"seafood"_s, false);     // no ip
    state.printList.setFault(u"bar"_s, false);
    state.printList.setBackup(2, u"bar"_s, u"spare"_s, 0);
    window->tmr1Timer();

    EXPECT_EQ(window->statusPanelText(), u" 已打印：3;未打印：1 "_s);
    EXPECT_FALSE(button("panelButton0")->isHidden());
    EXPECT_EQ(button("panelButton0")->text(), u"hot-kitchen"_s);
    EXPECT_TRUE(button("panelButton1")->isHidden());
    EXPECT_EQ(button("panelButton2")->text(), u"(spare)"_s);
    EXPECT_EQ(button("panelButton2")->toolTip(), u"bar"_s);
    EXPECT_TRUE(button("panelButton3")->isHidden());
}

}  // namespace
