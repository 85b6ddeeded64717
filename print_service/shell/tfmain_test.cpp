#include "shell/tfmain.h"
#include "engine/print_worker.h"
#include "engine/test_support/pos_database.h"
#include "net_printer_sim.h"
#include "platform/database.h"
#include "platform/message_box.h"
#include "service/recording_threads.h"
#include "service/utility.h"
#include "settings/report_set_window.h"
#include "shell/icons.h"
#include "shell/service_workers.h"
#include "status/print_state_thread.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QMutex>
#include <QSignalSpy>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <memory>
#include <stdexcept>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

using test::RecordingThreads;

// The templates as the build puts them beside the executable.
void copyShippedReports(const QString& appDir) {
    for (const QString& folder : {u"80格式"_s, u"58格式"_s}) {
        const QString from = QStringLiteral(COOKHUB_REPORTS_SOURCE_DIR) + u'/' + folder;
        const QString to = appDir + u"Reports/"_s + folder;
        QDir().mkpath(to);
        for (const QString& name : QDir(from).entryList(QDir::Files))
            QFile::copy(from + u'/' + name, to + u'/' + name);
    }
}

class RecordingBalloon final : public BalloonNotes {
  public:
    void show(const QString& text, int) override {
        QMutexLocker lock(&mutex_);
        texts_ << text;
    }
    QStringList texts() const {
        QMutexLocker lock(&mutex_);
        return texts_;
    }

  private:
    mutable QMutex mutex_;
    QStringList texts_;
};

class MainWindowTest : public ::testing::Test {
  protected:
    void SetUp() override {
        threads.workerBeats = [this] { state.beat(clock.now()); };
        MessageBox::setHandler([this](const MessageRequest& request) {
            messages << request.caption + u": "_s + request.text;
            return answer;
        });
    }
    void TearDown() override {
        window.reset();
        MessageBox::setHandler({});
    }

    void open(test::PosHome::Content content = test::PosHome::Content::SchemaAndSeed) {
        home = std::make_unique<test::PosHome>(content);
        state.appDir = home->appDir();
        state.connectionIni = chooseConnectionIni(state.appDir);
        window = std::make_unique<TFMain>(state, clock, threads);
    }

    QToolButton* button(const char* name) const {
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

TEST_F(MainWindowTest, StartAndStopSwitchTheServiceState) {
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

TEST_F(MainWindowTest, ExitAsksAndCancelKeepsEverything) {
    open();
    window->btnBeginClick();
    QSignalSpy exits(window.get(), &TFMain::exitRequested);

    answer = false;
    window->btn_ExitClick();
    EXPECT_EQ(messages,
              QStringList{u"提示: 退出厨打监控会导致前台的点菜单不能打印，确定退出吗？"_s});
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

TEST_F(MainWindowTest, WatchdogRestartsAStalledWorkerOnlyWhileRunning) {
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

TEST_F(MainWindowTest, DatabaseDownAtStartUpLeavesTheServiceStopped) {
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

TEST_F(MainWindowTest, SettingsWindowsNeedTheServiceStopped) {
    open();
    window->btnBeginClick();

    answer = false;
    EXPECT_FALSE(window->stopForSettings(true));
    EXPECT_TRUE(window->isServiceRunning());
    EXPECT_EQ(
        messages,
        QStringList{u"提示: 厨打已经启动，必须停止服务后才能进行设置，确定停止服务设置吗？"_s});

    answer = true;
    EXPECT_TRUE(window->stopForSettings(true));
    EXPECT_FALSE(window->isServiceRunning());

    window->btnBeginClick();
    messages.clear();
    EXPECT_TRUE(window->stopForSettings(false));  // the connection dialog does not ask
    EXPECT_TRUE(messages.isEmpty());
    EXPECT_FALSE(window->isServiceRunning());
}

TEST_F(MainWindowTest, FirstShowCreatesTheQueueAndCountsTheDay) {
    open();
    window->FormShow();
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
    QSqlQuery q(QSqlDatabase::database(kMainConnection));
    ASSERT_TRUE(
        q.exec(u"select vch_value from pos_sys_parameter where vch_parameter='PrintVer'"_s));
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

// The panel as the monitor leaves it: one button per printer name for the first ten
// names, shown for addresses with three dots or more, the picture by the answer.
class PrinterPanelTest : public MainWindowTest {
  protected:
    void SetUp() override {
        MainWindowTest::SetUp();
        ASSERT_TRUE(answering.listening() && refusing.listening());
        answering.setPaper({false, false, true});
        refusing.goAway();
        qputenv("COOKHUB_PRINTER_DIR", QFile::encodeName(printers.path()));
        open();
        window->FormShow();  // the queue tables and the stations' format column
        window->btnBeginClick();
        const QString up = QString::fromStdString(answering.address());
        const QString down = QString::fromStdString(refusing.address());
        // Seed stations 1 hot-kitchen, 2 cold-kitchen, 3 pastry, 4 bar, 5 seafood and
        // 6 soup (no address), 7 pass; then four more to pass ten names.
        home->exec(
            u"update pos_bt_dish_cookprint set vch_PrinterIp = '%1' where int_id in (1, 4, 7)"_s
                .arg(up));
        home->exec(
            u"update pos_bt_dish_cookprint set vch_PrinterIp = '%1' where int_id = 2"_s.arg(down));
        home->exec(u"update pos_bt_dish_cookprint set vch_PrinterIp = '10.0.0' where int_id = 3"_s);
        for (int id = 8; id <= 11; ++id)
            home->exec(
                u"insert into pos_bt_dish_cookprint (int_id, vch_name, cookprint_type, int_printer, vch_printer1, vch_PrinterIp) values (%1, 's%1', 3, 1, 'p%1', '%2')"_s
                    .arg(id)
                    .arg(up));
    }
    void TearDown() override {
        MainWindowTest::TearDown();
        qunsetenv("COOKHUB_PRINTER_DIR");
    }

    void monitorPass() {
        TPrintStateThread monitor(
            state, clock, state.currentToken(), kMonitorConnection,
            {u"3"_s, 3000, {std::chrono::milliseconds(300), std::chrono::milliseconds(60)}},
            balloon);
        ASSERT_TRUE(monitor.StatusPass(QSqlDatabase::database(kMonitorConnection)));
    }

    QString row(int id) const {
        QSqlQuery q(QSqlDatabase::database(kWindowConnection));
        q.exec(
            u"select vch_printyc || '/' || vch_printerzt || '/' || vch_printms from pos_bt_dish_cookprint where int_id = %1"_s
                .arg(id));
        return q.next() ? q.value(0).toString() : QString();
    }

    static bool showsPicture(const QToolButton* button, bool fault) {
        return button->icon().pixmap(48).toImage() ==
               icons::printerState(fault).pixmap(48).toImage();
    }

    netprinter::NetPrinterSim answering, refusing;
    QTemporaryDir printers;
    StandardErrorBalloon balloon;
};

TEST_F(PrinterPanelTest, ButtonsFollowTheMonitorWithoutTheDatabase) {
    monitorPass();
    state.setStatusText(u" 已打印：3;未打印：1 "_s);
    // The panel needs no database: the window's connection is not even there.
    closeConnection(kWindowConnection);
    window->tmr1Timer();
    EXPECT_EQ(window->statusPanelText(), u" 已打印：3;未打印：1 "_s);

    struct Expected {
        const char* button;
        QString caption;
        bool shown;
        bool fault;
    };
    const Expected expected[] = {
        {"panelButton0", u"hot-kitchen"_s, true, false},
        {"panelButton1", u"cold-kitchen"_s, true, true},
        {"panelButton2", u"pastry"_s, false, true},  // two dots only
        {"panelButton3", u"bar"_s, true, false},
        {"panelButton4", u"seafood"_s, false, true},  // no address
        {"panelButton5", u"soup"_s, false, true},
        {"panelButton6", u"pass"_s, true, false},
        {"panelButton7", u"p8"_s, true, false},
        {"panelButton8", u"p9"_s, true, false},
        {"panelButton9", u"p10"_s, true, false},
    };
    for (const Expected& e : expected) {
        SCOPED_TRACE(e.button);
        const QToolButton* b = button(e.button);
        EXPECT_EQ(b->text(), e.caption);
        EXPECT_EQ(!b->isHidden(), e.shown);
        EXPECT_TRUE(showsPicture(b, e.fault));
    }
    EXPECT_EQ(button("panelButton0")->toolTip(), u"hot-kitchen：纸将尽"_s);
    EXPECT_EQ(button("panelButton1")->toolTip(), u"cold-kitchen"_s);
    EXPECT_EQ(state.printList.size(), 11u);
    EXPECT_EQ(row(11), u"0/1/0"_s) << "the eleventh is asked, though it has no button";
    EXPECT_EQ(row(3), u"16/0/未检测到打印机，请尽快检查！"_s);
}

TEST_F(PrinterPanelTest, BackupTakesTheStationsTicketsUntilStopAndStart) {
    monitorPass();
    window->tmr1Timer();
    ASSERT_TRUE(QDir(printers.path()).mkpath(u"spare"_s));
    QStringList offered;
    int pick = -1;
    window->setPrinterChooser([&](QWidget*, const QStringList& list) {
        offered = list;
        return pick;
    });

    answer = false;  // the question is refused: no choice opens
    button("panelButton0")->click();
    EXPECT_EQ(messages,
              QStringList{u"提示: 启用备用打印机将会使原打印机停止打印，确定启用备用打印机吗？"_s});
    EXPECT_TRUE(offered.isEmpty());
    answer = true;  // the choice is cancelled
    button("panelButton0")->click();
    EXPECT_TRUE(offered.contains(u"spare"_s)) << offered.join(u", "_s).toStdString();
    EXPECT_TRUE(state.printList.snapshot()[0].BackupName.isEmpty());
    pick = int(offered.indexOf(u"spare"_s));
    button("panelButton0")->click();
    EXPECT_EQ(button("panelButton0")->text(), u"(spare)"_s);
    TPrintList entry = state.printList.snapshot()[0];
    EXPECT_EQ(entry.PrinterName, u"hot-kitchen"_s);
    EXPECT_EQ(entry.BackupName, u"spare"_s);
    EXPECT_EQ(entry.PrinterIndex, pick);
    window->tmr1Timer();
    EXPECT_EQ(button("panelButton0")->text(), u"(spare)"_s);

    // The worker prints the hot kitchen's tickets of the seed on the backup.
    home->exec(u"update pos_bt_dish_cookprint set sPath = '[80格式]'"_s);
    copyShippedReports(home->appDir());
    clock.set(QDateTime::currentDateTime());  // the seed's orders are minutes old
    const QSqlDatabase db = QSqlDatabase::database(kMainConnection);
    TPrintThread worker(state, clock, state.currentToken(), db, kMainConnection);
    ASSERT_TRUE(worker.runCycle(db));
    EXPECT_FALSE(QDir(printers.path() + u"/spare"_s).entryList({u"*.txt"_s}).isEmpty());
    EXPECT_FALSE(QDir(printers.path()).exists(u"hot-kitchen"_s));
    EXPECT_TRUE(QDir(printers.path()).exists(u"bar"_s)) << "other stations print as before";

    window->btnEndClick();
    entry = state.printList.snapshot()[0];
    EXPECT_TRUE(entry.PrinterName.isEmpty() && entry.BackupName.isEmpty());
    window->tmr1Timer();
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(window->findChild<QToolButton*>(u"panelButton%1"_s.arg(i))->isHidden()) << i;

    window->btnBeginClick();
    EXPECT_EQ(state.printList.size(), 0u);
}

// Start through the real threads: the monitor comes with the worker, on its own
// connection, and a superseding Start or the shutdown ends it.
TEST_F(PrinterPanelTest, StartRunsTheMonitorBesideTheWorker) {
    window.reset();
    // The fixture owns the state and the clock; the workers only borrow them here.
    ServiceWorkers workers(std::shared_ptr<ServiceState>(std::shared_ptr<void>(), &state),
                           std::shared_ptr<Clock>(std::shared_ptr<void>(), &clock), qApp);
    window = std::make_unique<TFMain>(state, clock, workers);
    RecordingBalloon notes;
    workers.setBalloon(&notes);
    home->exec(u"update pos_bt_dish_cookprint set vch_printyc = 7"_s);
    clock.set(QDateTime::currentDateTime());
    window->btnBeginClick();

    // The answering printer's stations, written by the monitor's first pass; the
    // seed's waiting dishes make its first count rise from 0.
    QTRY_COMPARE_WITH_TIMEOUT(row(1), u"0/1/0"_s, 20000);
    QTRY_COMPARE_WITH_TIMEOUT(row(2), u"16/0/未检测到打印机，请尽快检查！"_s, 20000);
    QTRY_VERIFY_WITH_TIMEOUT(!notes.texts().isEmpty(), 20000);
    EXPECT_TRUE(notes.texts().first().startsWith(u" 已打印："_s))
        << notes.texts().first().toStdString();
    EXPECT_TRUE(notes.texts().first().contains(u"hot-kitchen：纸将尽"_s));
    EXPECT_FALSE(state.statusText().isEmpty());
    workers.shutdown();
    window.reset();
}

TEST_F(MainWindowTest, BalloonWithoutATrayGoesToStandardError) {
    open();
    ::testing::internal::CaptureStderr();
    window->balloon().show(u" 已打印：1;未打印：2 "_s, 3000);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "balloon:  已打印：1;未打印：2 \n");
}

}  // namespace

TEST_F(MainWindowTest, FormatSettingsButtonAsksThenOpensTheWindowOnTheStoppedService) {
    open();
    copyShippedReports(home->appDir());
    window->btnBeginClick();
    QToolButton* format = button("btn2");
    ASSERT_TRUE(format->isEnabled());

    answer = false;  // Cancel: the service keeps running and nothing opens
    format->click();
    EXPECT_TRUE(window->isServiceRunning());

    answer = true;
    QStringList folders;
    QTimer::singleShot(0, [&] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            if (auto* settings = qobject_cast<TFReportSet*>(widget);
                settings && settings->isVisible()) {
                for (int i = 0; i < settings->chooser()->count(); ++i)
                    folders << settings->chooser()->itemText(i);
                settings->reject();
            }
        }
    });
    format->click();
    EXPECT_FALSE(window->isServiceRunning());
    EXPECT_EQ(folders, (QStringList{u"58格式"_s, u"80格式"_s}));
}

// The history opens while the service runs, and the tray's click keeps it open and in
// front instead of leaving it behind the main window.
TEST_F(MainWindowTest, HistoryOpensWhileRunningAndTheTrayKeepsItOpen) {
    open();
    window->UpdateSql(true);  // the queue tables
    window->btnBeginClick();
    ASSERT_TRUE(button("btn4")->isEnabled());
    bool seen = false;
    QTimer::singleShot(0, window.get(), [&] {
        QWidget* history = QApplication::activeModalWidget();
        ASSERT_TRUE(history && history->objectName() == u"TFQuery"_s);
        window->trayActivated(QSystemTrayIcon::Trigger);
        QApplication::processEvents();
        seen = history->isVisible() && QApplication::activeModalWidget() == history;
        history->close();
    });
    button("btn4")->click();
    EXPECT_TRUE(seen);
    EXPECT_TRUE(window->isServiceRunning());
    EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
}
