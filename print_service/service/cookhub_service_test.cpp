#include "service/cookhub_service.h"

#include "engine/test_support/pos_database.h"
#include "service/recording_threads.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

#include <memory>

using namespace Qt::StringLiterals;
using namespace cookhub;

namespace {

class ServiceCoreTest : public ::testing::Test {
  protected:
    void SetUp() override {
        threads.workerBeats = [this] { state.beat(clock.now()); };
    }

    void open(test::PosHome::Content content = test::PosHome::Content::SchemaAndSeed) {
        home = std::make_unique<test::PosHome>(content);
        state.appDir = home->appDir();
        state.connectionIni = chooseConnectionIni(state.appDir);
        service = std::make_unique<CookhubService>(state, clock, threads);
        QObject::connect(service.get(), &CookhubService::changed, [this] { ++changes; });
        connected = service->connect();
    }

    ServiceState state;
    ManualClock clock{QDateTime(QDate(2026, 12, 11), QTime(12, 0))};
    test::RecordingThreads threads;
    std::unique_ptr<test::PosHome> home;
    std::unique_ptr<CookhubService> service;
    bool connected = false;
    int changes = 0;
};

TEST_F(ServiceCoreTest, StartStopAndExitWithTheirWaits) {
    open();
    ASSERT_TRUE(connected);
    EXPECT_TRUE(service->isRunning()) << "a new service counts as running";
    EXPECT_EQ(clock.sleptMilliseconds(), 1000);

    EXPECT_EQ(service->start(), CookhubService::StartOutcome::Started);
    EXPECT_TRUE(service->snapshot().running);
    ASSERT_EQ(threads.workers.size(), 1u);
    ASSERT_EQ(threads.monitors.size(), 1u);
    EXPECT_EQ(threads.workers[0].run(), threads.monitors[0].run());
    EXPECT_EQ(state.reportsDir, home->appDir() + u"Reports"_s);
    EXPECT_EQ(clock.sleptMilliseconds(), 4000);
    EXPECT_GE(changes, 1);

    state.printList.setFault(u"hot-kitchen"_s, true);
    state.printList.setBackup(0, u"hot-kitchen"_s, u"spare"_s, 1);
    changes = 0;
    service->stop();
    EXPECT_FALSE(service->snapshot().running);
    EXPECT_EQ(changes, 1);
    EXPECT_EQ(state.runFlag(), u"N"_s);
    EXPECT_FALSE(threads.workers[0].running());
    EXPECT_TRUE(state.printList.snapshot()[0].BackupName.isEmpty());
    EXPECT_EQ(clock.sleptMilliseconds(), 7000);

    service->exit();  // stopped already: no second wait
    EXPECT_EQ(clock.sleptMilliseconds(), 7000);

    service->start();
    EXPECT_EQ(state.printList.size(), 0u) << "Start empties the printer list";
    service->exit();
    EXPECT_FALSE(service->isRunning());
    EXPECT_FALSE(threads.workers[1].running());
    EXPECT_EQ(clock.sleptMilliseconds(), 13000);
}

TEST_F(ServiceCoreTest, StartWithoutTheDatabaseChangesNothing) {
    open(test::PosHome::Content::Empty);
    EXPECT_FALSE(connected);
    service->stop();
    const qint64 slept = clock.sleptMilliseconds();
    state.printList.setFault(u"hot-kitchen"_s, false);

    EXPECT_EQ(service->start(), CookhubService::StartOutcome::NoConnection);
    EXPECT_FALSE(service->isRunning());
    EXPECT_EQ(state.runFlag(), u"N"_s);
    EXPECT_TRUE(threads.workers.empty());
    EXPECT_EQ(state.printList.size(), 0u);
    EXPECT_EQ(clock.sleptMilliseconds(), slept);
    EXPECT_FALSE(service->watchdogTick()) << "a stopped service is left alone";
}

TEST_F(ServiceCoreTest, WatchdogRestartsAStalledWorkerOnlyWhileRunning) {
    open();
    EXPECT_TRUE(service->watchdogTick()) << "the first tick starts the new service's worker";
    ASSERT_EQ(threads.workers.size(), 1u);

    clock.advance(119 * 1000);
    EXPECT_FALSE(service->watchdogTick()) << "a heartbeat younger than two minutes";
    clock.advance(2 * 1000);
    EXPECT_TRUE(service->watchdogTick());
    ASSERT_EQ(threads.workers.size(), 2u);
    EXPECT_FALSE(threads.workers[0].running()) << "the stalled worker must not work on";
    EXPECT_TRUE(threads.workers[1].running());

    service->stop();
    clock.advance(10 * 60 * 1000);
    EXPECT_FALSE(service->watchdogTick());
    EXPECT_EQ(threads.workers.size(), 2u);
}

// A Start whose worker could not be made shows running, makes no monitor, and is
// retried soon, then less often while it keeps failing.
TEST_F(ServiceCoreTest, AFailedStartIsRetriedSoonThenLessOften) {
    open();
    threads.failWorker = true;
    EXPECT_EQ(service->start(), CookhubService::StartOutcome::WorkerFailed);
    EXPECT_TRUE(service->isRunning());
    EXPECT_TRUE(threads.monitors.empty());
    ASSERT_EQ(threads.attempts, 1);
    const struct {
        int seconds;  // clock advance before the tick
        int attempts;
    } ticks[] = {{3, 2}, {3, 2}, {3, 3}, {3, 3}, {6, 3}, {3, 4}, {21, 4}, {3, 5}};
    for (const auto& t : ticks) {
        clock.advance(t.seconds * 1000);
        service->watchdogTick();
        EXPECT_EQ(threads.attempts, t.attempts) << "after " << t.seconds << " s";
    }
    EXPECT_EQ(service->snapshot().failedStarts, 5);

    threads.failWorker = false;
    clock.advance(120 * 1000);
    EXPECT_TRUE(service->watchdogTick());
    EXPECT_EQ(threads.workers.size(), 1u);
    EXPECT_EQ(threads.monitors.size(), 1u);
    EXPECT_EQ(service->snapshot().failedStarts, 0);
    EXPECT_FALSE(service->watchdogTick()) << "the new worker beats";
}

TEST_F(ServiceCoreTest, CountsTheBusinessDay) {
    open();
    service->updateSchema(false);
    // Seed: yesterday's day close, fourteen unprinted lines ordered minutes ago, no
    // tickets yet. The counts run to the real time.
    clock.set(QDateTime::currentDateTime());
    service->countDay();
    CookhubService::Snapshot now = service->snapshot();
    EXPECT_EQ(now.printed, 0);
    EXPECT_EQ(now.unprinted, 14);
    EXPECT_EQ(countsText(now.printed, now.unprinted), u" 已打印：0;未打印：14 "_s);
    EXPECT_TRUE(state.businessDayStart().endsWith(u" 23:30:00"_s));

    ASSERT_TRUE(home->exec(u"delete from pos_u_day_sumup"_s));
    service->countDay();
    EXPECT_EQ(state.businessDayStart(), u"1899-12-30 00:00:00"_s);

    service->setStatusText(u"monitor note"_s);
    EXPECT_EQ(service->snapshot().statusText, u"monitor note"_s);
}

}  // namespace
