// The real print worker as Start makes it, and as exit leaves it when it is stuck in
// the database.
#include "shell/service_workers.h"
#include "engine/queue_schema.h"
#include "engine/test_support/pos_database.h"
#include "engine/test_support/thread_guard.h"
#include "platform/database.h"
#include "platform/sql_dialect.h"
#include "service/utility.h"

#include <QFile>

#include <gtest/gtest.h>
#include <sqlite3.h>

using namespace Qt::StringLiterals;
using namespace cookhub;
using cookhub::test::ScopeExit;
using cookhub::test::waitUntil;

namespace {

TEST(ServiceWorkers, AWorkerStuckInTheDatabaseAtExitStillFindsWhatItUses) {
    test::PosHome home(test::PosHome::Content::Schema);
    ASSERT_TRUE(
        home.exec(uR"(
        insert into pos_sys_parameter values ('print_mode', '3', '');
        insert into pos_bt_dish (ch_dishno, vch_dishname, ch_dish_typeno, ch_dish_seriesno, ch_dish_unitno)
            values ('D1', '宫保鸡丁', '01', '01', '01');
        insert into pos_bt_dish_cookprint (int_id, vch_name, cookprint_type, int_printer, vch_printer1)
            values (1, '热菜', 1, 1, 'hot');
        insert into pos_cp_dish_print (ch_dishno, ch_printflag, int_print_id) values ('D1', 'Y', 1);
        insert into pos_u_orderdish (ch_billno, ch_tableno, ch_dishno, num_num, num_price, dt_operdate,
            vch_operid, ch_printflag, ch_outflag1)
            values ('B1', 'T1', 'D1', 1, 10, datetime('now','localtime'), '1', 'N', 'N');
    )"_s));
    // Ten seconds of busy time-out: the worker waits that long for a held database.
    ASSERT_TRUE(openConnection(kMainConnection, home.connectionString(), home.appDir(), 10));
    const ScopeExit closeMain([] {
        closeConnection(kMainConnection);
        QSqlDatabase::removeDatabase(kMainConnection);
    });
    const QSqlDatabase db = QSqlDatabase::database(kMainConnection);
    QueueSchema(db, SqlDialect::sqlite()).update(false, u"1.0.1.21"_s);

    // Another program holds the database for writing.
    sqlite3* holder = nullptr;
    ASSERT_EQ(sqlite3_open(QFile::encodeName(home.databaseFile()).constData(), &holder), SQLITE_OK);
    bool held = sqlite3_exec(holder, "begin immediate", nullptr, nullptr, nullptr) == SQLITE_OK;
    const ScopeExit release([&] {
        if (held)
            sqlite3_exec(holder, "rollback", nullptr, nullptr, nullptr);
        sqlite3_close(holder);
    });
    ASSERT_TRUE(held);

    auto state = std::make_shared<ServiceState>();
    state->appDir = home.appDir();
    auto clock = std::make_shared<SystemClock>();
    const std::weak_ptr<ServiceState> stateAlive = state;
    const std::weak_ptr<Clock> clockAlive = clock;
    std::atomic<bool> writing{false};
    {
        QObject mainContext;
        ServiceWorkers threads(state, clock, &mainContext);
        // Nothing checks the run between this point and the ticket's first write.
        threads.workerMade = [&](TPrintThread& worker) {
            worker.beforeTicketWrites = [&](const TDishRecord&) { writing = true; };
        };
        threads.startWorker(state->beginRun());
        ASSERT_TRUE(waitUntil([&] { return writing.load(); }));
        EXPECT_FALSE(threads.shutdown(1500)) << "the worker waits for the database";
    }
    // Exit destroys the program's own references; the stuck worker keeps its shares.
    state.reset();
    clock.reset();
    EXPECT_FALSE(stateAlive.expired());

    // The database call returns: the worker finds its run over, ends, and lets go.
    sqlite3_exec(holder, "rollback", nullptr, nullptr, nullptr);
    held = false;
    EXPECT_TRUE(waitUntil([&] { return stateAlive.expired() && clockAlive.expired(); }));
    EXPECT_EQ(home.exec(u"select 1"_s), true);
}

}  // namespace
